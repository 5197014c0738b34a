#include "Audio/DSP/CPolyphaseInterpolator.h"

#include <algorithm>

namespace qel {

CPolyphaseInterpolator::CPolyphaseInterpolator(const SDspKernels& kernels) : CPolyphasePhases(kernels, 1) {}

// Both phases in one folded loop over one window.
void CPolyphaseInterpolator::processFolded(const double* in, double* out, size_t n) {
    double* x = window(0);
    while (n > 0) {
        const size_t count = std::min(n, kChunk);
        std::copy_n(in, count, x + history());
        m_dsp->firInterpolateFolded(m_kernels->foldedEven(), m_kernels->foldedOdd(), m_kernels->foldedTaps(),
                                    x, out, count);
        keepHistory(count);
        in += count;
        out += 2 * count;
        n -= count;
    }
}

void CPolyphaseInterpolator::process(const double* in, double* out, size_t n) {
    if (folded()) {
        processFolded(in, out, n);
        return;
    }
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
