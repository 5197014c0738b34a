#pragma once

#include <cstddef>
#include <memory>
#include <vector>

#include "Audio/DSP/CPartitionedConvolver.h"
#include "Audio/DSP/CPhaseSplitKernel.h"

namespace qel {

// One channel of convolution with a CPhaseSplitKernel: the same output as CPartitionedConvolver with the
// full kernel, with no extra latency. A split kernel with kept parity p gives
//     y[t] = sum over i of g[i] · x[t - p - 2i],
// so each output needs only the input phase stream (every other sample) of parity t - p. Both streams
// run through partitioned convolvers at half the rate: the sample x[t - p] goes into its stream at time
// t and that stream's output is y[t]. For p = 1 each input sample is therefore held until the next one
// arrives. A kernel that is not split runs in the first stream's convolver at the full rate.
//
// The input history carries over kernel changes as in CPartitionedConvolver, except that a change
// between a split and an unsplit kernel, or from kept parity 0 to 1 (whose stream lags by one sample),
// drops it. setKernel and copyHistoryFrom may allocate; process never does.
class CPhaseSplitConvolver {
public:
    static constexpr size_t kLatency = CPartitionedConvolver::kLatency;

    explicit CPhaseSplitConvolver(const SDspKernels& kernels = CCpuDispatch::kernels());

    // Null leaves no kernel: the output is silence.
    void setKernel(std::shared_ptr<const CPhaseSplitKernel> kernel);
    // A kernel of its own, built from the full taps.
    void setKernel(const double* taps, size_t length, size_t partitionSize = 0);
    const std::shared_ptr<const CPhaseSplitKernel>& kernel() const { return m_kernel; }

    size_t latency() const { return kLatency; }

    // Forgets all input.
    void reset();
    // Takes the input history of other (allocating if its layout differs). Call it right before setKernel.
    void copyHistoryFrom(const CPhaseSplitConvolver& other);

    // in and out may be the same array.
    void process(const double* in, double* out, size_t n);

private:
    // Samples per stream and pass: the staging buffer's half.
    static constexpr size_t kChunk = 256;

    const SDspKernels* m_kernels;
    std::shared_ptr<const CPhaseSplitKernel> m_kernel;
    CPartitionedConvolver m_streams[2];
    // The layout of the history: split or not, and whether the newest input sample is held back.
    bool m_splitHistory = false;
    bool m_holding = false;
    double m_held = 0.0;
    // The stream the next sample goes into.
    size_t m_next = 0;
    // Both streams' samples of the current pass, kChunk each.
    std::vector<double> m_staging;
};

} // namespace qel
