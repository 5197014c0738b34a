#pragma once

#include "Audio/DSP/CDenormNoise.h"
#include "Audio/Graph/CAudioProcessDefBase.h"
#include "Audio/Graph/CAudioProcessTerminalBase.h"

namespace qel {

// Output gain with mute and polarity: slots 0 gain (linear), 1 mute, 2 phase invert. Unity gain
// hands the input on untouched; mute outputs anti-denormal noise, never exact zeros.
class CModGainModule : public CAudioModule {
public:
    enum Slot { Gain = 0, Mute = 1, PhaseInvert = 2 };

    void registerParams() override;
    void updateCoefficients() override;
    SAudioBlock* forward(SAudioBlock* const* inputs, int32_t inputCount) override;
    void process(SAudioBlock* const* inputs, int32_t inputCount, double* out, uint32_t length) override;

    double factor() const { return m_factor; }
    bool isMuted() const { return m_muted; }
    bool isActive() const { return m_active; }

private:
    CDenormNoise m_noise;
    double m_factor = 1.0;
    bool m_muted = false;
    bool m_active = false;
};

using CModGain = CAudioProcessTerminal<CModGainModule>;

class CModGainDef : public CAudioProcessDefBase {
public:
    std::unique_ptr<CAudioProcessBase> createProcess() const override { return std::make_unique<CModGain>(); }
};

} // namespace qel
