#include "Audio/DSP/CPolyphaseDecimator.h"

#include <algorithm>

namespace qel {

CPolyphaseDecimator::CPolyphaseDecimator(const SDspKernels& kernels) : CPolyphasePhases(kernels) {}

void CPolyphaseDecimator::reset() {
    CPolyphasePhases::reset();
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
