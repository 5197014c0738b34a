#pragma once

#include "UI/CPicture.h"

namespace qel {

// "ui:frame" and "ui:shadow": a picture that frames its children: a panel, an edge or a shadow,
// stretched to the view ("imageset" defaults to the plain frame).
class CFrame : public CPicture {
public:
    CError* init() override;
};

} // namespace qel
