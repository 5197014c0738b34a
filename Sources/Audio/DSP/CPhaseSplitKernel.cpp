#include "Audio/DSP/CPhaseSplitKernel.h"

namespace qel {

bool CPhaseSplitKernel::findParity(const double* taps, size_t length, size_t& parity) {
    bool nonZero[2] = {false, false};
    for (size_t k = 0; k < length; ++k)
        if (taps[k] != 0.0) nonZero[k % 2] = true;
    if (nonZero[0] && nonZero[1]) return false;
    parity = nonZero[1] ? 1 : 0;
    return true;
}

CPhaseSplitKernel::CPhaseSplitKernel(const double* taps, size_t length, size_t partitionSize,
                                     const SDspKernels& kernels)
    : m_length(length) {
    // A single tap gains nothing from the split.
    m_split = length > 1 && findParity(taps, length, m_parity);
    if (m_split) {
        for (size_t k = m_parity; k < length; k += 2)
            m_taps.push_back(taps[k]);
    } else {
        m_parity = 0;
        m_taps.assign(taps, taps + length);
    }
    m_kernel =
        std::make_shared<const CConvolutionKernel>(m_taps.data(), m_taps.size(), partitionSize, kernels);
}

} // namespace qel
