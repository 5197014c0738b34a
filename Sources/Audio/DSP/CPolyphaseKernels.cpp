#include "Audio/DSP/CPolyphaseKernels.h"

#include <vector>

namespace qel {

CPolyphaseKernels::CPolyphaseKernels(const double* taps, size_t length, double gain,
                                     const SDspKernels& kernels) {
    auto phase = [&](size_t first, size_t partitionSize) {
        std::vector<double> part;
        for (size_t k = first; k < length; k += 2)
            part.push_back(gain * taps[k]);
        return std::make_shared<const CConvolutionKernel>(part.data(), part.size(), partitionSize, kernels);
    };
    // One partition size for both, so that rate doubling can run them on one input history.
    m_even = phase(0, 0);
    m_odd = phase(1, m_even->partitionSize());
    // Symmetric kernels are whole heads.
    m_folded = m_even->isSymmetric() && m_odd->isSymmetric() && m_even->length() == m_odd->length() + 1 &&
               m_odd->length() >= 1;
}

} // namespace qel
