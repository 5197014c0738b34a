#include "Audio/DSP/CPartitionedConvolver.h"

#include <algorithm>

namespace qel {

CPartitionedConvolver::CPartitionedConvolver(const SDspKernels& kernels)
    : m_kernels(&kernels), m_fft(kernels) {}

void CPartitionedConvolver::setKernel(const double* taps, size_t length, size_t partitionSize) {
    setKernel(std::make_shared<const CConvolutionKernel>(taps, length, partitionSize, *m_kernels));
}

void CPartitionedConvolver::setKernel(std::shared_ptr<const CConvolutionKernel> kernel) {
    setKernels(std::move(kernel), nullptr);
}

void CPartitionedConvolver::setKernels(std::shared_ptr<const CConvolutionKernel> first,
                                       std::shared_ptr<const CConvolutionKernel> second) {
    m_kernel = std::move(first);
    m_second = m_kernel && second && second->partitionSize() == m_kernel->partitionSize() ? std::move(second)
                                                                                          : nullptr;
    if (!m_kernel) {
        // Input is not recorded without a kernel, so the history would have a gap.
        reset();
        return;
    }
    if (m_kernel->partitionSize() != m_partitionSize) resize(m_kernel->partitionSize());
    growDelayLine(std::max(m_kernel->tailCount(), m_second ? m_second->tailCount() : 0));
    computeTails();
}

void CPartitionedConvolver::resize(size_t partitionSize) {
    m_partitionSize = partitionSize;
    m_fft.setSize(2 * partitionSize);
    m_frame.assign(2 * partitionSize, 0.0);
    m_tail.assign(partitionSize, 0.0);
    m_secondTail.assign(partitionSize, 0.0);
    m_spectrum.assign(2 * partitionSize, 0.0);
    m_delayLine.clear();
    m_slots = 0;
    m_newest = 0;
    m_fill = 0;
}

void CPartitionedConvolver::storeSlot(size_t age, const double* spectrum) {
    const size_t slotSize = 2 * m_partitionSize;
    double* first = m_delayLine.data() + ((m_newest + age) % m_slots) * slotSize;
    if (first != spectrum) std::copy_n(spectrum, slotSize, first);
    std::copy_n(spectrum, slotSize, first + m_slots * slotSize);
}

void CPartitionedConvolver::growDelayLine(size_t slots) {
    if (slots <= m_slots) return;
    const size_t slotSize = 2 * m_partitionSize;
    std::vector<double> line(2 * slots * slotSize, 0.0);
    for (size_t age = 0; age < m_slots; ++age) {
        std::copy_n(slot(age), slotSize, line.data() + age * slotSize);
        std::copy_n(slot(age), slotSize, line.data() + (slots + age) * slotSize);
    }
    m_delayLine = std::move(line);
    m_slots = slots;
    m_newest = 0;
}

void CPartitionedConvolver::reset() {
    std::fill(m_frame.begin(), m_frame.end(), 0.0);
    std::fill(m_delayLine.begin(), m_delayLine.end(), 0.0);
    std::fill(m_tail.begin(), m_tail.end(), 0.0);
    std::fill(m_secondTail.begin(), m_secondTail.end(), 0.0);
    m_fill = 0;
    m_newest = 0;
}

void CPartitionedConvolver::copyHistoryFrom(const CPartitionedConvolver& other) {
    if (&other == this) return;
    if (other.m_partitionSize != m_partitionSize) {
        resize(other.m_partitionSize);
        if (m_kernel && m_kernel->partitionSize() != m_partitionSize) m_kernel.reset();
        if (!m_kernel || (m_second && m_second->partitionSize() != m_partitionSize)) m_second.reset();
    }
    growDelayLine(other.m_slots);
    m_newest = 0;
    std::fill(m_delayLine.begin(), m_delayLine.end(), 0.0);
    for (size_t age = 0; age < other.m_slots; ++age)
        storeSlot(age, other.slot(age));
    m_frame = other.m_frame;
    m_fill = other.m_fill;
    computeTails();
}

void CPartitionedConvolver::process(const double* in, double* out, double* secondOut, size_t n) {
    if (!m_kernel) {
        std::fill_n(out, n, 0.0);
        if (secondOut) std::fill_n(secondOut, n, 0.0);
        return;
    }
    const size_t p = m_partitionSize;
    while (n > 0) {
        const size_t count = std::min(n, p - m_fill);
        double* current = m_frame.data() + p + m_fill;
        // Input first: out may be the same array.
        std::copy_n(in, count, current);
        convolveCurrent(*m_kernel, m_tail, current, out, count);
        if (secondOut) {
            if (m_second)
                convolveCurrent(*m_second, m_secondTail, current, secondOut, count);
            else
                std::fill_n(secondOut, count, 0.0);
            secondOut += count;
        }
        m_fill += count;
        in += count;
        out += count;
        n -= count;
        if (m_fill == p) completeBlock();
    }
}

void CPartitionedConvolver::convolveCurrent(const CConvolutionKernel& kernel, const std::vector<double>& tail,
                                            const double* current, double* out, size_t count) const {
    std::copy_n(tail.data() + m_fill, count, out);
    const auto direct = kernel.isSymmetric() ? m_kernels->firAccumulateSymmetric : m_kernels->firAccumulate;
    direct(kernel.head(), kernel.headLength(), current + 1 - kernel.headLength(), out, count);
}

void CPartitionedConvolver::completeBlock() {
    const size_t p = m_partitionSize;
    if (m_slots > 0) {
        m_newest = (m_newest == 0 ? m_slots : m_newest) - 1;
        double* newest = m_delayLine.data() + m_newest * 2 * p;
        m_fft.forward(m_frame.data(), newest);
        storeSlot(0, newest);
    }
    std::copy_n(m_frame.data() + p, p, m_frame.data());
    m_fill = 0;
    computeTails();
}

void CPartitionedConvolver::computeTails() {
    computeTail(m_kernel.get(), m_tail);
    computeTail(m_second.get(), m_secondTail);
}

void CPartitionedConvolver::computeTail(const CConvolutionKernel* kernel, std::vector<double>& tail) {
    const size_t count = kernel ? kernel->tailCount() : 0;
    if (count == 0) {
        std::fill(tail.begin(), tail.end(), 0.0);
        return;
    }
    // The frame that ended age j blocks ago meets partition j + 1 in the current block.
    m_fft.sumOfProducts(slot(0), kernel->tailSpectrum(0), count, 2 * m_partitionSize, m_spectrum.data());
    m_fft.inverse(m_spectrum.data(), m_spectrum.data());
    std::copy_n(m_spectrum.data() + m_partitionSize, m_partitionSize, tail.data());
}

} // namespace qel
