#pragma once

#include "Audio/Graph/CAudioProcessBase.h"
#include "Audio/Graph/CAudioProcessDefBase.h"

namespace qel {

// Doubles the rate: every input sample becomes the pair (2x, 0); the low-pass after it removes the
// image.
class CModInterpolator : public CAudioProcessBase {
public:
    void process() override;
    SAudioFormat outputFormat(const SAudioFormat& input) const override;
    int64_t outputLatency(int64_t inputLatency) const override { return inputLatency * 2; }
};

class CModInterpolatorDef : public CAudioProcessDefBase {
public:
    std::unique_ptr<CAudioProcessBase> createProcess() const override {
        return std::make_unique<CModInterpolator>();
    }
};

} // namespace qel
