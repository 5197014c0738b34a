#pragma once

#include <cstddef>
#include <memory>

#include "Audio/DSP/CPartitionedConvolver.h"
#include "Audio/DSP/CPolyphaseKernels.h"

namespace qel {

// The even and odd phase of a 2x low-pass, each convolved at the lower rate: what rate doubling and
// rate halving share.
class CPolyphasePhases {
public:
    explicit CPolyphasePhases(const SDspKernels& kernels)
        : m_dsp(&kernels), m_even(kernels), m_odd(kernels) {}

    // Keeps the input history when the phases' partition sizes stay.
    void setKernels(std::shared_ptr<const CPolyphaseKernels> kernels);
    // Forgets all input.
    void reset();

protected:
    static constexpr size_t kChunk = 256;

    const SDspKernels* m_dsp;
    std::shared_ptr<const CPolyphaseKernels> m_kernels;
    CPartitionedConvolver m_even;
    CPartitionedConvolver m_odd;
};

} // namespace qel
