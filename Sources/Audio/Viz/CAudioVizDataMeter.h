#pragma once

#include "Audio/Viz/CAudioVizData.h"

namespace qel {

// A level measurement: peak and RMS as linear amplitudes.
class CAudioVizDataMeter : public CAudioVizData {
public:
    CAudioVizDataMeter() : CAudioVizData(Meter) {}

    CError* write(COutputStream& stream) const override;
    CError* read(CInputStream& stream) override;

    double peak = 0;
    double rms = 0;
};

} // namespace qel
