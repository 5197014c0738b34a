#pragma once

#include <array>
#include <cstddef>

#include "Audio/DSP/CPolyphasePhases.h"

namespace qel {

// One channel of rate doubling: the input with a zero after every sample, filtered by a low-pass at
// the doubled rate, computed at the input rate. Output 2t is the even phase's convolution of the
// input at t, output 2t + 1 the odd phase's, so no tap ever multiplies an inserted zero.
class CPolyphaseInterpolator : public CPolyphasePhases {
public:
    explicit CPolyphaseInterpolator(const SDspKernels& kernels = CCpuDispatch::kernels());

    // n inputs give 2n outputs; never allocates.
    void process(const double* in, double* out, size_t n);

private:
    void processFolded(const double* in, double* out, size_t n);

    std::array<double, kChunk> m_evenOut{};
    std::array<double, kChunk> m_oddOut{};
};

} // namespace qel
