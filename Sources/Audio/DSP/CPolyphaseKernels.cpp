#include "Audio/DSP/CPolyphaseKernels.h"

#include <vector>

namespace qel {

CPolyphaseKernels::CPolyphaseKernels(const double* taps, size_t length, double gain,
                                     const SDspKernels& kernels) {
    auto phase = [&](size_t first) {
        std::vector<double> part;
        for (size_t k = first; k < length; k += 2)
            part.push_back(gain * taps[k]);
        return std::make_shared<const CConvolutionKernel>(part.data(), part.size(), 0, kernels);
    };
    m_even = phase(0);
    m_odd = phase(1);
}

} // namespace qel
