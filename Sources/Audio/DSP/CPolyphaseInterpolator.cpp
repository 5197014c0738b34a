#include "Audio/DSP/CPolyphaseInterpolator.h"

#include <algorithm>

namespace qel {

CPolyphaseInterpolator::CPolyphaseInterpolator(const SDspKernels& kernels) : CPolyphasePhases(kernels) {}

void CPolyphaseInterpolator::process(const double* in, double* out, size_t n) {
    while (n > 0) {
        const size_t count = std::min(n, kChunk);
        m_even.process(in, m_evenOut.data(), count);
        m_odd.process(in, m_oddOut.data(), count);
        for (size_t i = 0; i < count; ++i) {
            out[2 * i] = m_evenOut[i];
            out[2 * i + 1] = m_oddOut[i];
        }
        in += count;
        out += 2 * count;
        n -= count;
    }
}

} // namespace qel
