#include "Audio/Processes/CModDenormNoise.h"

namespace qel {

void CModDenormNoiseModule::process(SAudioBlock* const* inputs, int32_t, double* out, uint32_t length) {
    const double* in = inputs[0] ? inputs[0]->samples() : nullptr;
    for (uint32_t i = 0; i < length; ++i)
        out[i] = (in ? in[i] : 0.0) + m_noise.next();
}

} // namespace qel
