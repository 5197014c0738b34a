#include "Audio/Processes/CModKoren.h"

#include <algorithm>

#include "Core/CDebugLog.h"

namespace qel {

const char* const CModKorenModule::kSlotNames[CKorenKernel::SlotCount] = {
    "mu", "x", "kG1", "kP", "kVB", "Imin", "Imax", "Vbias", "Vgain", "mult", "mode", "voltage", "current"};

void CModKorenModule::registerParams() {
    for (int32_t index = 0; index < CKorenKernel::SlotCount; ++index) {
        if (m_terminal->isSlotRegistered(index)) continue;
        if (!m_terminal->registerSlot(index, kSlotNames[index]))
            CDebugLog::writeLine(CString::format("regModuleParam error %i", int(index)), m_terminal->name());
    }
}

void CModKorenModule::updateCoefficients() {
    const CKorenKernel::SSettings unattached;
    CKorenKernel::SSettings settings;
    for (int32_t index = 0; index < CKorenKernel::SlotCount; ++index)
        settings.slot(index) = slot(index, unattached.slot(index));
    m_kernel.update(settings);
}

void CModKorenModule::process(SAudioBlock* const* inputs, int32_t inputCount, double* out, uint32_t length) {
    if (!inputs[0]) {
        std::fill(out, out + length, 0.0);
        return;
    }
    const SAudioBlock* quadrature = inputCount > 1 && inputs[1] ? inputs[1] : inputs[0];
    m_kernel.process(inputs[0]->samples(), quadrature->samples(), out, std::min(length, quadrature->length));
}

} // namespace qel
