#pragma once

#include <array>
#include <cstddef>
#include <memory>
#include <vector>

#include "Audio/DSP/CPolyphasePhases.h"

namespace qel {

// One channel of rate doubling: the input with a zero after every sample, filtered by a low-pass at
// the doubled rate, computed at the input rate. Output 2t is the even phase's convolution of the
// input at t, output 2t + 1 the odd phase's, so no tap ever multiplies an inserted zero.
class CPolyphaseInterpolator : public CPolyphasePhases {
public:
    explicit CPolyphaseInterpolator(const SDspKernels& kernels = CCpuDispatch::kernels());

    // Folded kernels (CPolyphaseKernels::isFolded) run in one loop over an input window of this class; a
    // change to folded kernels of another length, or between folded and convolved ones, forgets the input.
    void setKernels(std::shared_ptr<const CPolyphaseKernels> kernels);
    void reset();

    // n inputs give 2n outputs; never allocates.
    void process(const double* in, double* out, size_t n);

private:
    void processFolded(const double* in, double* out, size_t n);

    // Folded kernels: the last foldedTaps() - 1 inputs, then room for a chunk.
    std::vector<double> m_window;
    std::array<double, kChunk> m_evenOut{};
    std::array<double, kChunk> m_oddOut{};
};

} // namespace qel
