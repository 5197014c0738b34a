#include "Audio/DSP/CPolyphaseDecimator.h"

#include <algorithm>

namespace qel {

CPolyphaseDecimator::CPolyphaseDecimator(const SDspKernels& kernels) : CPolyphasePhases(kernels, 2, false) {}

void CPolyphaseDecimator::reset() {
    CPolyphasePhases::reset();
    m_lastOdd = 0.0;
}

// The phases' inputs go straight into two windows, and both symmetric phases add into the output.
void CPolyphaseDecimator::processFolded(const double* in, double* out, size_t n) {
    double* even = window(0);
    double* odd = window(1);
    const size_t h = history(), taps = m_kernels->foldedTaps();
    while (n > 0) {
        const size_t count = std::min(n, kChunk);
        for (size_t i = 0; i < count; ++i) {
            even[h + i] = in[2 * i];
            odd[h + i] = m_lastOdd;
            m_lastOdd = in[2 * i + 1];
        }
        std::fill_n(out, count, 0.0);
        m_dsp->firAccumulateSymmetric(m_kernels->foldedEven(), taps, even, out, count);
        // The odd phase is a tap shorter: its window starts a sample later.
        m_dsp->firAccumulateSymmetric(m_kernels->foldedOdd(), taps - 1, odd + 1, out, count);
        keepHistory(count);
        in += 2 * count;
        out += count;
        n -= count;
    }
}

void CPolyphaseDecimator::process(const double* in, double* out, size_t n) {
    if (folded()) {
        processFolded(in, out, n);
        return;
    }
    while (n > 0) {
        const size_t count = std::min(n, kChunk);
        for (size_t i = 0; i < count; ++i) {
            m_evenIn[i] = in[2 * i];
            m_oddIn[i] = m_lastOdd;
            m_lastOdd = in[2 * i + 1];
        }
        m_even.process(m_evenIn.data(), out, count);
        m_odd.process(m_oddIn.data(), m_oddOut.data(), count);
        for (size_t i = 0; i < count; ++i)
            out[i] += m_oddOut[i];
        in += 2 * count;
        out += count;
        n -= count;
    }
}

} // namespace qel
