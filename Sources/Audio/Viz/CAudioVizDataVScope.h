#pragma once

#include <vector>

#include "Audio/Viz/CAudioVizData.h"

namespace qel {

// A vertical scope trace in display units, with marker positions drawn over it.
class CAudioVizDataVScope : public CAudioVizData {
public:
    CAudioVizDataVScope() : CAudioVizData(VScope) {}

    CError* write(COutputStream& stream) const override;
    CError* read(CInputStream& stream) override;

    std::vector<int32_t> trace;
    std::vector<int32_t> markers;
};

} // namespace qel
