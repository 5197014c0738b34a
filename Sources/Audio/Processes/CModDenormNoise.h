#pragma once

#include "Audio/DSP/CDenormNoise.h"
#include "Audio/Graph/CAudioProcessDefBase.h"
#include "Audio/Graph/CAudioProcessTerminalBase.h"

namespace qel {

// Adds anti-denormal noise to every sample, so that no later recursion runs on denormal numbers.
class CModDenormNoiseModule : public CAudioModule {
public:
    void process(SAudioBlock* const* inputs, int32_t inputCount, double* out, uint32_t length) override;

private:
    CDenormNoise m_noise;
};

using CModDenormNoise = CAudioProcessTerminal<CModDenormNoiseModule>;

class CModDenormNoiseDef : public CAudioProcessDefBase {
public:
    std::unique_ptr<CAudioProcessBase> createProcess() const override {
        return std::make_unique<CModDenormNoise>();
    }
};

} // namespace qel
