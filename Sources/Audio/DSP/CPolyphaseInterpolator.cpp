#include "Audio/DSP/CPolyphaseInterpolator.h"

#include <algorithm>

namespace qel {

CPolyphaseInterpolator::CPolyphaseInterpolator(const SDspKernels& kernels)
    : m_even(kernels), m_odd(kernels) {}

void CPolyphaseInterpolator::setKernels(std::shared_ptr<const CPolyphaseKernels> kernels) {
    m_kernels = std::move(kernels);
    m_even.setKernel(m_kernels ? m_kernels->even() : nullptr);
    m_odd.setKernel(m_kernels ? m_kernels->odd() : nullptr);
}

void CPolyphaseInterpolator::reset() {
    m_even.reset();
    m_odd.reset();
}

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
