#include "Audio/DSP/CConvolutionKernel.h"

#include <algorithm>
#include <bit>
#include <cmath>

#include "Audio/DSP/CRealFFT.h"

namespace qel {

CConvolutionKernel::CConvolutionKernel(const double* taps, size_t length, size_t partitionSize,
                                       const SDspKernels& kernels)
    : m_length(length) {
    if (partitionSize == 0) partitionSize = choosePartitionSize(length);
    m_partitionSize = std::bit_ceil(std::min(partitionSize, kMaxPartitionSize));
    const size_t p = m_partitionSize;

    m_head.assign(std::min(length, p), 0.0);
    std::reverse_copy(taps, taps + m_head.size(), m_head.begin());

    m_tailCount = length > p ? (length - 1) / p : 0;
    m_symmetric = m_tailCount == 0 && std::equal(m_head.begin(), m_head.end(), m_head.rbegin());
    m_tail.assign(m_tailCount * 2 * p, 0.0);
    CRealFFT fft(2 * p, kernels);
    for (size_t j = 0; j < m_tailCount; ++j) {
        double* spectrum = m_tail.data() + j * 2 * p;
        const size_t first = (j + 1) * p;
        std::copy(taps + first, taps + std::min(first + p, length), spectrum);
        fft.forward(spectrum, spectrum);
    }
}

size_t CConvolutionKernel::choosePartitionSize(size_t length) {
    // Costs per output sample in nanoseconds, fitted to the AVX2 build at 3.7 GHz: a direct tap, one level
    // of the two transforms per block, and the spectrum product of one tail partition.
    constexpr double kTap = 0.048, kFftLevel = 0.6, kTailPartition = 0.45;
    size_t best = 1;
    double bestCost = HUGE_VAL;
    for (size_t p = 1; p <= kMaxPartitionSize; p *= 2) {
        const double head = kTap * double(std::min(length, p));
        const double tails = length > p ? double((length - 1) / p) : 0.0;
        const double fft = tails > 0.0 ? kFftLevel * std::log2(2.0 * double(p)) : 0.0;
        const double cost = head + fft + kTailPartition * tails;
        if (cost < bestCost) {
            bestCost = cost;
            best = p;
        }
        if (p >= length) break;
    }
    return best;
}

} // namespace qel
