#include "Audio/Processes/CModGain.h"

#include <cmath>

namespace qel {

void CModGainModule::registerParams() {
    m_terminal->registerSlot(Gain, "gain");
    m_terminal->registerSlot(Mute, "mute");
    m_terminal->registerSlot(PhaseInvert, "phase-invert");
}

void CModGainModule::updateCoefficients() {
    m_muted = slot(Mute, 0.0) >= 0.5;
    const double sign = slot(PhaseInvert, 0.0) >= 0.5 ? -1.0 : 1.0;
    m_factor = m_muted ? 0.0 : slot(Gain, 1.0) * sign;
    m_active = std::fabs(m_factor - 1.0) > 2.220446049250313e-16;
}

SAudioBlock* CModGainModule::forward(SAudioBlock* const* inputs, int32_t) {
    if (m_active || !inputs[0]) return nullptr;
    CAudioBlockPool::addRef(inputs[0]);
    return inputs[0];
}

void CModGainModule::process(SAudioBlock* const* inputs, int32_t, double* out, uint32_t length) {
    if (m_muted || !inputs[0]) {
        m_noise.fill(out, length);
        return;
    }
    const double* in = inputs[0]->samples();
    for (uint32_t i = 0; i < length; ++i)
        out[i] = in[i] * m_factor;
}

} // namespace qel
