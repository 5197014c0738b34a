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
    while (n > 0) {
        const size_t count = std::min(n, 2 * kChunk);
        // The pass's samples alternate between the streams, starting with stream m_next.
        double* const a = m_staging.data() + m_next * kChunk;
        double* const b = m_staging.data() + (m_next ^ 1) * kChunk;
        const size_t countA = (count + 1) / 2, countB = count / 2;
        // All input is read before any output is written: out may be in.
        if (m_holding) {
            a[0] = m_held;
            for (size_t i = 1; i < countA; ++i)
                a[i] = in[2 * i - 1];
            for (size_t i = 0; i < countB; ++i)
                b[i] = in[2 * i];
            m_held = in[count - 1];
        } else {
            for (size_t i = 0; i < countA; ++i)
                a[i] = in[2 * i];
            for (size_t i = 0; i < countB; ++i)
                b[i] = in[2 * i + 1];
        }
        m_streams[m_next].process(a, a, countA);
        m_streams[m_next ^ 1].process(b, b, countB);
        for (size_t i = 0; i < countB; ++i) {
            out[2 * i] = a[i];
            out[2 * i + 1] = b[i];
        }
        if (countA > countB) out[count - 1] = a[countB];
        m_next ^= count & 1;
        in += count;
        out += count;
        n -= count;
    }
}

} // namespace qel
