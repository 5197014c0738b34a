#pragma once

#include "UI/CTextView.h"

namespace qel {

// "ui:caption": the title of a group of controls, centred on the group caption picture unless the
// style says otherwise.
class CCaption : public CTextView {
public:
    CError* init() override;
};

} // namespace qel
