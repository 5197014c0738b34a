#include "Audio/DSP/CPolyphaseInterpolator.h"

#include <algorithm>

namespace qel {

CPolyphaseInterpolator::CPolyphaseInterpolator(const SDspKernels& kernels) : CPolyphasePhases(kernels) {}

void CPolyphaseInterpolator::setKernels(std::shared_ptr<const CPolyphaseKernels> kernels) {
    CPolyphasePhases::setKernels(std::move(kernels));
    const size_t size = m_kernels && m_kernels->isFolded() ? m_kernels->foldedTaps() - 1 + kChunk : 0;
    if (size != m_window.size()) m_window.assign(size, 0.0);
}

void CPolyphaseInterpolator::reset() {
    CPolyphasePhases::reset();
    std::fill(m_window.begin(), m_window.end(), 0.0);
}

void CPolyphaseInterpolator::processFolded(const double* in, double* out, size_t n) {
    const size_t taps = m_kernels->foldedTaps(), history = taps - 1;
    while (n > 0) {
        const size_t count = std::min(n, kChunk);
        std::copy_n(in, count, m_window.data() + history);
        m_dsp->firInterpolateFolded(m_kernels->foldedEven(), m_kernels->foldedOdd(), taps, m_window.data(),
                                    out, count);
        std::copy(m_window.begin() + long(count), m_window.begin() + long(count + history), m_window.begin());
        in += count;
        out += 2 * count;
        n -= count;
    }
}

void CPolyphaseInterpolator::process(const double* in, double* out, size_t n) {
    if (!m_window.empty()) {
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
