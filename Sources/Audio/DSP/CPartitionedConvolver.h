#pragma once

#include <cstddef>
#include <memory>
#include <vector>

#include "Audio/DSP/CConvolutionKernel.h"
#include "Audio/DSP/CRealFFT.h"

namespace qel {

// One channel of uniformly partitioned FFT convolution without extra latency:
//     out[t] = sum over k of h[k] · in[t - k]
// over all input since the last reset, for any block lengths. The first partition of the kernel runs in
// direct form on every sample; the tail partitions run in the frequency domain once per P input samples
// (P the kernel's partition size): whenever a block of P inputs is complete, the frame of the last 2P
// inputs is transformed into a frequency-domain delay line, and the tail's contribution to the next P
// outputs, which only needs inputs that are already in, is computed at once (overlap-save).
//
// Input history (the frame and the delay line) does not depend on the kernel, so setKernel with the same
// partition size keeps it: the output continues as the new kernel's convolution of the whole past input.
// For a cross-fade, a second convolver takes the history with copyHistoryFrom, then the new kernel, and
// both run until the fade ends; kernels that should fade into each other need one partition size (pass it
// explicitly when their lengths differ). setKernel and copyHistoryFrom may allocate; process never does.
//
// A second kernel of the same partition size may run on the same input (the two phases of rate doubling):
// each block's transform and the delay line then serve both.
class CPartitionedConvolver {
public:
    // Extra delay on top of the kernel's own.
    static constexpr size_t kLatency = 0;

    explicit CPartitionedConvolver(const SDspKernels& kernels = CCpuDispatch::kernels());

    // A different partition size drops the history; a longer tail grows the delay line, taking input older
    // than the previous kernel needed as silence. Null leaves no kernel: the output is silence.
    void setKernel(std::shared_ptr<const CConvolutionKernel> kernel);
    // A kernel of its own, built from taps (see CConvolutionKernel).
    void setKernel(const double* taps, size_t length, size_t partitionSize = 0);
    // Two kernels on the one input, the second into the second output of process; null second: one kernel.
    // A second kernel of another partition size than the first is not taken.
    void setKernels(std::shared_ptr<const CConvolutionKernel> first,
                    std::shared_ptr<const CConvolutionKernel> second);
    const std::shared_ptr<const CConvolutionKernel>& kernel() const { return m_kernel; }

    size_t latency() const { return kLatency; }
    size_t partitionSize() const { return m_partitionSize; }

    // Forgets all input.
    void reset();
    // Takes the input history and the partition size of other (allocating if they differ); a kernel of
    // another partition size is dropped. Call it right before setKernel: without a kernel no input is kept.
    void copyHistoryFrom(const CPartitionedConvolver& other);

    // in and out may be the same array.
    void process(const double* in, double* out, size_t n) { process(in, out, nullptr, n); }
    // With a second kernel its output goes to secondOut (which must not be in).
    void process(const double* in, double* out, double* secondOut, size_t n);

private:
    // Spectrum of the input frame that ended age blocks ago, age < m_slots. The ring is stored twice over,
    // so the spectra of all ages follow each other from slot(0) on, as the sum of products reads them.
    const double* slot(size_t age) const {
        return m_delayLine.data() + (m_newest + age) * 2 * m_partitionSize;
    }
    // Writes the spectrum of an age into both copies of the ring.
    void storeSlot(size_t age, const double* spectrum);
    void resize(size_t partitionSize);
    void growDelayLine(size_t slots);
    // A kernel's outputs for the count inputs from current on: its tail share plus its head.
    void convolveCurrent(const CConvolutionKernel& kernel, const std::vector<double>& tail,
                         const double* current, double* out, size_t count) const;
    void completeBlock();
    void computeTails();
    void computeTail(const CConvolutionKernel* kernel, std::vector<double>& tail);

    const SDspKernels* m_kernels;
    std::shared_ptr<const CConvolutionKernel> m_kernel;
    std::shared_ptr<const CConvolutionKernel> m_second;
    CRealFFT m_fft;
    size_t m_partitionSize = 0;
    // The previous block, then the current block filled up to m_fill.
    std::vector<double> m_frame;
    size_t m_fill = 0;
    // m_slots spectra of 2P doubles, a ring whose newest entry is at index m_newest, then the same ring
    // again.
    std::vector<double> m_delayLine;
    size_t m_slots = 0;
    size_t m_newest = 0;
    // The tail partitions' share of the current block's outputs, for each kernel.
    std::vector<double> m_tail;
    std::vector<double> m_secondTail;
    std::vector<double> m_spectrum;
};

} // namespace qel
