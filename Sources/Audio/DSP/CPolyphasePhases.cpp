#include "Audio/DSP/CPolyphasePhases.h"

#include <algorithm>

namespace qel {

void CPolyphasePhases::setKernels(std::shared_ptr<const CPolyphaseKernels> kernels) {
    m_kernels = std::move(kernels);
    if (m_sharedInput) {
        m_even.setKernels(m_kernels ? m_kernels->even() : nullptr, m_kernels ? m_kernels->odd() : nullptr);
    } else {
        m_even.setKernel(m_kernels ? m_kernels->even() : nullptr);
        m_odd.setKernel(m_kernels ? m_kernels->odd() : nullptr);
    }
    const size_t size = m_kernels && m_kernels->isFolded() ? m_windowCount * (history() + kChunk) : 0;
    if (size != m_windows.size()) m_windows.assign(size, 0.0);
}

void CPolyphasePhases::reset() {
    m_even.reset();
    m_odd.reset();
    std::fill(m_windows.begin(), m_windows.end(), 0.0);
}

void CPolyphasePhases::keepHistory(size_t count) {
    for (size_t w = 0; w < m_windowCount; ++w) {
        double* at = window(w);
        std::copy(at + count, at + count + history(), at);
    }
}

} // namespace qel
