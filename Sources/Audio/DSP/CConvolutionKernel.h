#pragma once

#include <cstddef>
#include <vector>

#include "Audio/DSP/CCpuDispatch.h"

namespace qel {

// An FIR kernel prepared for CPartitionedConvolver: cut into partitions of P samples, the first applied
// directly (reversed for the direct-form loop), the others ("tail partitions") as spectra of size 2P in
// the packed layout of CRealFFT, computed once here. Immutable once built, so channels share one instance.
class CConvolutionKernel {
public:
    static constexpr size_t kMaxPartitionSize = 4096;

    // taps[0 .. length); length 0 is a kernel that outputs silence. partitionSize 0 chooses one for the
    // length; any other value is rounded up to a power of two and limited to kMaxPartitionSize.
    CConvolutionKernel(const double* taps, size_t length, size_t partitionSize = 0,
                       const SDspKernels& kernels = CCpuDispatch::kernels());

    // The partition size with the least estimated work per sample for a kernel of this length.
    static size_t choosePartitionSize(size_t length);

    size_t length() const { return m_length; }
    size_t partitionSize() const { return m_partitionSize; }
    // Taps of the first partition, in reverse order: head()[i] = h[headLength() - 1 - i].
    const double* head() const { return m_head.data(); }
    size_t headLength() const { return m_head.size(); }
    // The whole kernel is the head and reads the same backwards (a linear-phase low-pass, say): the
    // direct loop can fold its mirrored taps.
    bool isSymmetric() const { return m_symmetric; }
    // Spectrum of partition j + 1 (taps (j + 1)·P .. (j + 2)·P - 1, zero-padded to 2P).
    size_t tailCount() const { return m_tailCount; }
    const double* tailSpectrum(size_t j) const { return m_tail.data() + j * 2 * m_partitionSize; }

private:
    size_t m_length = 0;
    size_t m_partitionSize = 1;
    size_t m_tailCount = 0;
    bool m_symmetric = false;
    std::vector<double> m_head;
    std::vector<double> m_tail;
};

} // namespace qel
