#pragma once

#include "Audio/DSP/CDenormNoise.h"
#include "Audio/Graph/CAudioProcessDefBase.h"
#include "Audio/Graph/CAudioProcessTerminalBase.h"

namespace qel {

// Bypass and group solo: slot 0 enable, slot 1 the solo flag of each channel. Input 0 is the
// processed path, input 1 the alternative (the dry signal); silence is anti-denormal noise.
class CModBypassModule : public CAudioModule {
public:
    enum Slot { Enable = 0, GroupSolo = 1 };
    enum class EPath { Processed, Alternative, Silent };

    void registerParams() override;
    void updateCoefficients() override;
    SAudioBlock* forward(SAudioBlock* const* inputs, int32_t inputCount) override;
    void process(SAudioBlock* const* inputs, int32_t inputCount, double* out, uint32_t length) override;

    EPath path() const { return m_path; }

private:
    CDenormNoise m_noise;
    EPath m_path = EPath::Processed;
};

class CModBypass : public CAudioProcessTerminal<CModBypassModule> {
public:
    CModBypass() {
        setModuleInputs(2);
        setUpdatesAllChannels(true);
    }
};

class CModBypassDef : public CAudioProcessDefBase {
public:
    std::unique_ptr<CAudioProcessBase> createProcess() const override {
        return std::make_unique<CModBypass>();
    }
};

} // namespace qel
