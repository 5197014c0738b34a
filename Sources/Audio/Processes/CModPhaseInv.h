#pragma once

#include "Audio/Graph/CAudioProcessDefBase.h"
#include "Audio/Graph/CAudioProcessTerminalBase.h"

namespace qel {

// Polarity inverter: slot 0 enable.
class CModPhaseInvModule : public CAudioModule {
public:
    void registerParams() override { m_terminal->registerSlot(0, "enable"); }
    void updateCoefficients() override { m_enabled = slot(0, 0.0) >= 0.5; }
    SAudioBlock* forward(SAudioBlock* const* inputs, int32_t inputCount) override;
    void process(SAudioBlock* const* inputs, int32_t inputCount, double* out, uint32_t length) override;

private:
    bool m_enabled = false;
};

using CModPhaseInv = CAudioProcessTerminal<CModPhaseInvModule>;

class CModPhaseInvDef : public CAudioProcessDefBase {
public:
    std::unique_ptr<CAudioProcessBase> createProcess() const override {
        return std::make_unique<CModPhaseInv>();
    }
};

} // namespace qel
