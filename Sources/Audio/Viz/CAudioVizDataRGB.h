#pragma once

#include "Audio/Viz/CAudioVizData.h"

namespace qel {

// A colour for the display, each component from 0 to 1.
class CAudioVizDataRGB : public CAudioVizData {
public:
    CAudioVizDataRGB() : CAudioVizData(RGB) {}

    CError* write(COutputStream& stream) const override;
    CError* read(CInputStream& stream) override;

    double red = 0;
    double green = 0;
    double blue = 0;
};

} // namespace qel
