#include "Audio/Processes/CModInterpolator.h"

namespace qel {

SAudioFormat CModInterpolator::outputFormat(const SAudioFormat& input) const {
    SAudioFormat output = input;
    output.sampleRate *= 2;
    output.maxBlockLength *= 2;
    return output;
}

void CModInterpolator::process() {
    for (int32_t channel = 0; channel < m_format.channelCount; ++channel) {
        SAudioBlock* in = gather(0, channel);
        if (!in) continue;
        SAudioBlock* out = m_env->pool->take(in->length * 2);
        const double* x = in->samples();
        double* y = out->samples();
        for (uint32_t i = 0; i < in->length; ++i) {
            y[2 * i] = 2.0 * x[i];
            y[2 * i + 1] = 0.0;
        }
        CAudioBlockPool::release(in);
        deliver(0, channel, out);
    }
    releaseInputs();
}

} // namespace qel
