#pragma once

#include "Audio/Graph/CAudioProcessBase.h"
#include "Audio/Graph/CAudioProcessDefBase.h"

namespace qel {

// Halves the rate by keeping the even samples; the low-pass in front of it removes what would alias.
class CModDecimator : public CAudioProcessBase {
public:
    void process() override;
    SAudioFormat outputFormat(const SAudioFormat& input) const override;
    int64_t outputLatency(int64_t inputLatency) const override { return inputLatency / 2; }
};

class CModDecimatorDef : public CAudioProcessDefBase {
public:
    std::unique_ptr<CAudioProcessBase> createProcess() const override {
        return std::make_unique<CModDecimator>();
    }
};

} // namespace qel
