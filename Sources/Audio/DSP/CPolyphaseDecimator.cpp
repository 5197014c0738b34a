#include "Audio/DSP/CPolyphaseDecimator.h"

#include <algorithm>

namespace qel {

CPolyphaseDecimator::CPolyphaseDecimator(const SDspKernels& kernels) : m_even(kernels), m_odd(kernels) {}

void CPolyphaseDecimator::setKernels(std::shared_ptr<const CPolyphaseKernels> kernels) {
    m_kernels = std::move(kernels);
    m_even.setKernel(m_kernels ? m_kernels->even() : nullptr);
    m_odd.setKernel(m_kernels ? m_kernels->odd() : nullptr);
}

void CPolyphaseDecimator::reset() {
    m_even.reset();
    m_odd.reset();
    m_lastOdd = 0.0;
}

void CPolyphaseDecimator::process(const double* in, double* out, size_t n) {
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
