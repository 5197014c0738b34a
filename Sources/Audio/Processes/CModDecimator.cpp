#include "Audio/Processes/CModDecimator.h"

#include <algorithm>

namespace qel {

SAudioFormat CModDecimator::outputFormat(const SAudioFormat& input) const {
    SAudioFormat output = input;
    output.sampleRate /= 2;
    output.maxBlockLength = std::max<uint32_t>(input.maxBlockLength / 2, 1);
    return output;
}

void CModDecimator::process() {
    for (int32_t channel = 0; channel < m_format.channelCount; ++channel) {
        SAudioBlock* in = gather(0, channel);
        if (!in) continue;
        SAudioBlock* out = m_env->pool->take(in->length / 2);
        const double* x = in->samples();
        double* y = out->samples();
        for (uint32_t i = 0; i < out->length; ++i)
            y[i] = x[2 * i];
        CAudioBlockPool::release(in);
        deliver(0, channel, out);
    }
    releaseInputs();
}

} // namespace qel
