#pragma once

#include <array>
#include <cstddef>

#include "Audio/DSP/CPolyphasePhases.h"

namespace qel {

// One channel of rate halving: the even outputs of a low-pass at the input rate, computed at the
// output rate. Output t is the even phase's convolution of the inputs 2t plus the odd phase's of the
// inputs 2t - 1, so the dropped outputs are never computed.
class CPolyphaseDecimator : public CPolyphasePhases {
public:
    explicit CPolyphaseDecimator(const SDspKernels& kernels = CCpuDispatch::kernels());

    void reset();
    // 2n inputs give n outputs; never allocates.
    void process(const double* in, double* out, size_t n);

private:
    void processFolded(const double* in, double* out, size_t n);

    // The last odd input, which meets the odd phase with the next block's first output.
    double m_lastOdd = 0.0;
    std::array<double, kChunk> m_evenIn{};
    std::array<double, kChunk> m_oddIn{};
    std::array<double, kChunk> m_oddOut{};
};

} // namespace qel
