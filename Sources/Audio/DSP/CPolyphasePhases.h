#pragma once

#include <cstddef>
#include <memory>
#include <vector>

#include "Audio/DSP/CPartitionedConvolver.h"
#include "Audio/DSP/CPolyphaseKernels.h"

namespace qel {

// The even and odd phase of a 2x low-pass, each convolved at the lower rate: what rate doubling and
// rate halving share. Folded kernels (CPolyphaseKernels::isFolded) run directly over input windows of
// this class instead of through the convolvers.
class CPolyphasePhases {
public:
    // Keeps the input history when the phases' partition sizes stay, or the folded length; a change between
    // folded and convolved kernels forgets the input.
    void setKernels(std::shared_ptr<const CPolyphaseKernels> kernels);
    // Forgets all input.
    void reset();

protected:
    static constexpr size_t kChunk = 256;

    // windows: how many input windows the folded loops read; sharedInput: both phases convolve one input, in
    // m_even as its two kernels (m_odd stays empty).
    CPolyphasePhases(const SDspKernels& kernels, size_t windows, bool sharedInput)
        : m_dsp(&kernels), m_windowCount(windows), m_sharedInput(sharedInput), m_even(kernels),
          m_odd(kernels) {}

    bool folded() const { return !m_windows.empty(); }
    // A window of the folded loops: its last history() inputs, then room for a chunk.
    double* window(size_t index) { return m_windows.data() + index * (history() + kChunk); }
    size_t history() const { return m_kernels->foldedTaps() - 1; }
    // After a chunk of count inputs the newest history() inputs of each window move to its front.
    void keepHistory(size_t count);

    const SDspKernels* m_dsp;
    size_t m_windowCount;
    bool m_sharedInput;
    std::vector<double> m_windows;
    std::shared_ptr<const CPolyphaseKernels> m_kernels;
    CPartitionedConvolver m_even;
    CPartitionedConvolver m_odd;
};

} // namespace qel
