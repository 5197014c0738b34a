#pragma once

#include <vector>

#include "Audio/Viz/CAudioVizData.h"

namespace qel {

// A magnitude spectrum: one value per bin from firstBin on, for a transform of fftSize points whose
// bins are binWidth Hz apart; floorDb is the level drawn as the bottom of the display.
class CAudioVizDataSpectrum : public CAudioVizData {
public:
    CAudioVizDataSpectrum() : CAudioVizData(Spectrum) {}

    CError* write(COutputStream& stream) const override;
    CError* read(CInputStream& stream) override;

    std::vector<double> magnitudes;
    double binWidth = 0;
    int32_t firstBin = 0;
    int32_t fftSize = 0;
    double floorDb = 0;
    int32_t flags = 0;
};

} // namespace qel
