#pragma once

#include <cstddef>
#include <memory>
#include <vector>

#include "Audio/DSP/CConvolutionKernel.h"

namespace qel {

// An FIR kernel prepared for CPhaseSplitConvolver. When every tap at one parity of index is exactly zero
// (a Hilbert transformer: only odd offsets from its centre are set), the kernel keeps only the other
// parity's taps, g[i] = h[2i + parity]: each output then needs every other input sample only, so two
// half-rate convolutions with the half kernel do the work of the full one at half the cost. Any other
// kernel is kept whole. Immutable once built, so channels share one instance.
class CPhaseSplitKernel {
public:
    // taps[0 .. length); partitionSize as for CConvolutionKernel (it then applies to the kept taps).
    CPhaseSplitKernel(const double* taps, size_t length, size_t partitionSize = 0,
                      const SDspKernels& kernels = CCpuDispatch::kernels());

    // True with the parity of the taps that may be non-zero when all taps of the other parity are zero
    // (parity 0 for a kernel without non-zero taps); false otherwise.
    static bool findParity(const double* taps, size_t length, size_t& parity);

    // The full kernel's length.
    size_t length() const { return m_length; }
    bool isSplit() const { return m_split; }
    // Index parity of the kept taps; 0 when not split.
    size_t parity() const { return m_parity; }
    // The half kernel g when split, else the full kernel.
    const std::shared_ptr<const CConvolutionKernel>& kernel() const { return m_kernel; }
    // The taps kernel() was built from.
    const std::vector<double>& taps() const { return m_taps; }

private:
    size_t m_length = 0;
    bool m_split = false;
    size_t m_parity = 0;
    std::vector<double> m_taps;
    std::shared_ptr<const CConvolutionKernel> m_kernel;
};

} // namespace qel
