#pragma once

#include <cstddef>
#include <memory>

#include "Audio/DSP/CConvolutionKernel.h"

namespace qel {

// A low-pass at twice a rate split into its two phases at that rate: the even taps h[2j] and the odd
// taps h[2j + 1], each scaled by a gain, with one partition size. Immutable once built, so channels share one
// instance.
class CPolyphaseKernels {
public:
    CPolyphaseKernels(const double* taps, size_t length, double gain,
                      const SDspKernels& kernels = CCpuDispatch::kernels());

    const std::shared_ptr<const CConvolutionKernel>& even() const { return m_even; }
    const std::shared_ptr<const CConvolutionKernel>& odd() const { return m_odd; }

    // Both phases whole heads, symmetric, the even one a tap longer: what a short linear-phase low-pass of
    // odd length gives. Rate doubling then runs both phases in one folded loop over one input
    // (SDspKernels::firInterpolateFolded) on foldedEven() (foldedTaps() values) and foldedOdd() (one less).
    // Symmetric heads read the same reversed, so they serve as they are.
    bool isFolded() const { return m_folded; }
    size_t foldedTaps() const { return m_even->headLength(); }
    const double* foldedEven() const { return m_even->head(); }
    const double* foldedOdd() const { return m_odd->head(); }

private:
    std::shared_ptr<const CConvolutionKernel> m_even;
    std::shared_ptr<const CConvolutionKernel> m_odd;
    bool m_folded = false;
};

} // namespace qel
