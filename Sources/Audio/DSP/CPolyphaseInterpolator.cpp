#include "Audio/DSP/CPolyphaseInterpolator.h"

#include <algorithm>

namespace qel {

CPolyphaseInterpolator::CPolyphaseInterpolator(const SDspKernels& kernels)
    : CPolyphasePhases(kernels, 1, true) {}

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
        // Both phases from one input history.
        m_even.process(in, m_evenOut.data(), m_oddOut.data(), count);
        m_dsp->interleave(m_evenOut.data(), m_oddOut.data(), out, count);
        in += count;
        out += 2 * count;
        n -= count;
    }
}

} // namespace qel
