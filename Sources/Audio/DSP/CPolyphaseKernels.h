#pragma once

#include <cstddef>
#include <memory>

#include "Audio/DSP/CConvolutionKernel.h"

namespace qel {

// A low-pass at twice a rate split into its two phases at that rate: the even taps h[2j] and the odd
// taps h[2j + 1], each scaled by a gain. Immutable once built, so channels share one instance.
class CPolyphaseKernels {
public:
    CPolyphaseKernels(const double* taps, size_t length, double gain,
                      const SDspKernels& kernels = CCpuDispatch::kernels());

    const std::shared_ptr<const CConvolutionKernel>& even() const { return m_even; }
    const std::shared_ptr<const CConvolutionKernel>& odd() const { return m_odd; }

private:
    std::shared_ptr<const CConvolutionKernel> m_even;
    std::shared_ptr<const CConvolutionKernel> m_odd;
};

} // namespace qel
