#pragma once

#include "Core/CTimerQueued.h"

namespace qel {

// "ui:update-timer": a timer of the editor. Unless its creator sets a rate, it runs at the user's
// "frames-per-second" setting and follows it when the setting changes.
class CUpdateTimer : public CTimerQueued {
public:
    CError* init() override;
};

} // namespace qel
