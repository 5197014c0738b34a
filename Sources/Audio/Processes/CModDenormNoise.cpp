#include "Audio/Processes/CModDenormNoise.h"

namespace qel {

void CModDenormNoiseModule::process(SAudioBlock* const* inputs, int32_t, double* out, uint32_t length) {
    m_noise.mix(inputs[0] ? inputs[0]->samples() : nullptr, out, length);
}

} // namespace qel
