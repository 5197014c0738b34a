#include "Audio/Processes/CModPhaseInv.h"

namespace qel {

SAudioBlock* CModPhaseInvModule::forward(SAudioBlock* const* inputs, int32_t) {
    if (m_enabled || !inputs[0]) return nullptr;
    CAudioBlockPool::addRef(inputs[0]);
    return inputs[0];
}

void CModPhaseInvModule::process(SAudioBlock* const* inputs, int32_t, double* out, uint32_t length) {
    if (!inputs[0]) {
        std::fill(out, out + length, 0.0);
        return;
    }
    const double* in = inputs[0]->samples();
    for (uint32_t i = 0; i < length; ++i)
        out[i] = -in[i];
}

} // namespace qel
