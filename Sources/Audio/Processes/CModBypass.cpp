#include "Audio/Processes/CModBypass.h"

namespace qel {

void CModBypassModule::registerParams() {
    m_terminal->registerSlot(Enable, "enable");
    m_terminal->registerSlot(GroupSolo, "group-solo");
}

void CModBypassModule::updateCoefficients() {
    bool anySolo = false;
    for (int32_t c = 0; c < m_terminal->format().channelCount && !anySolo; ++c)
        anySolo = m_terminal->slotValue(GroupSolo, c, 0.0) >= 0.5;
    if (anySolo) {
        m_path = slot(GroupSolo, 0.0) >= 0.5 ? EPath::Processed : EPath::Silent;
        return;
    }
    m_path = slot(Enable, 0.0) >= 0.5 ? EPath::Alternative : EPath::Processed;
}

SAudioBlock* CModBypassModule::forward(SAudioBlock* const* inputs, int32_t inputCount) {
    SAudioBlock* chosen = m_path == EPath::Processed     ? inputs[0]
                          : m_path == EPath::Alternative ? (inputCount > 1 ? inputs[1] : nullptr)
                                                         : nullptr;
    if (!chosen) return nullptr;
    CAudioBlockPool::addRef(chosen);
    return chosen;
}

void CModBypassModule::process(SAudioBlock* const*, int32_t, double* out, uint32_t length) {
    m_noise.fill(out, length);
}

} // namespace qel
