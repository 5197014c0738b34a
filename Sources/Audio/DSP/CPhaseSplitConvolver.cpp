#include "Audio/DSP/CPhaseSplitConvolver.h"

#include <algorithm>

namespace qel {

CPhaseSplitConvolver::CPhaseSplitConvolver(const SDspKernels& kernels)
    : m_kernels(&kernels), m_streams{CPartitionedConvolver(kernels), CPartitionedConvolver(kernels)},
      m_staging(2 * kChunk, 0.0) {}

void CPhaseSplitConvolver::setKernel(const double* taps, size_t length, size_t partitionSize) {
    setKernel(std::make_shared<const CPhaseSplitKernel>(taps, length, partitionSize, *m_kernels));
}

void CPhaseSplitConvolver::setKernel(std::shared_ptr<const CPhaseSplitKernel> kernel) {
    m_kernel = std::move(kernel);
    const bool split = m_kernel && m_kernel->isSplit();
    const bool hold = split && m_kernel->parity() == 1;
    // A stream cannot give back a sample it has taken.
    if (!m_kernel || split != m_splitHistory || (hold && !m_holding)) {
        reset();
        m_holding = false;
    }
    m_splitHistory = split;
    m_streams[0].setKernel(m_kernel ? m_kernel->kernel() : nullptr);
    m_streams[1].setKernel(split ? m_kernel->kernel() : nullptr);
    if (m_holding && !hold) {
        // The held sample goes in now; its output belongs to a time already past.
        double unused = 0.0;
        m_streams[m_next].process(&m_held, &unused, 1);
        m_next ^= 1;
        m_held = 0.0;
    }
    m_holding = hold;
}

void CPhaseSplitConvolver::reset() {
    m_streams[0].reset();
    m_streams[1].reset();
    m_held = 0.0;
    m_next = 0;
}

void CPhaseSplitConvolver::copyHistoryFrom(const CPhaseSplitConvolver& other) {
    if (&other == this) return;
    m_streams[0].copyHistoryFrom(other.m_streams[0]);
    m_streams[1].copyHistoryFrom(other.m_streams[1]);
    m_splitHistory = other.m_splitHistory;
    m_holding = other.m_holding;
    m_held = other.m_held;
    m_next = other.m_next;
}

void CPhaseSplitConvolver::process(const double* in, double* out, size_t n) {
    if (!m_kernel) {
        std::fill_n(out, n, 0.0);
        return;
    }
    if (!m_splitHistory) {
        m_streams[0].process(in, out, n);
        return;
    }
    double* const staging = m_staging.data();
    while (n > 0) {
        const size_t count = std::min(n, 2 * kChunk);
        // Pass sample k goes into stream m_next ^ (k & 1) at position k / 2.
        const size_t first = m_next;
        auto at = [&](size_t k) { return staging + (((first ^ k) & 1) * kChunk) + k / 2; };
        // All input is read before any output is written: out may be in.
        if (m_holding) {
            *at(0) = m_held;
            for (size_t k = 1; k < count; ++k)
                *at(k) = in[k - 1];
            m_held = in[count - 1];
        } else {
            for (size_t k = 0; k < count; ++k)
                *at(k) = in[k];
        }
        const size_t firstCount = (count + 1) / 2;
        m_streams[first].process(staging + first * kChunk, staging + first * kChunk, firstCount);
        m_streams[first ^ 1].process(staging + (first ^ 1) * kChunk, staging + (first ^ 1) * kChunk,
                                     count - firstCount);
        for (size_t k = 0; k < count; ++k)
            out[k] = *at(k);
        m_next ^= count & 1;
        in += count;
        out += count;
        n -= count;
    }
}

} // namespace qel
