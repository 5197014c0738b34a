#pragma once

#include "Audio/DSP/CKorenKernel.h"
#include "Audio/Graph/CAudioProcessDefBase.h"
#include "Audio/Graph/CAudioProcessTerminalBase.h"

namespace qel {

// The tube stage: input 0 the in-phase signal, input 1 its quadrature (input 0 again when unlinked).
class CModKorenModule : public CAudioModule {
public:
    static const char* const kSlotNames[CKorenKernel::SlotCount];

    void registerParams() override;
    void updateCoefficients() override;
    void process(SAudioBlock* const* inputs, int32_t inputCount, double* out, uint32_t length) override;

    const CKorenKernel& kernel() const { return m_kernel; }

private:
    CKorenKernel m_kernel;
};

class CModKoren : public CAudioProcessTerminal<CModKorenModule> {
public:
    CModKoren() { setModuleInputs(2); }
};

class CModKorenDef : public CAudioProcessDefBase {
public:
    std::unique_ptr<CAudioProcessBase> createProcess() const override {
        return std::make_unique<CModKoren>();
    }
};

} // namespace qel
