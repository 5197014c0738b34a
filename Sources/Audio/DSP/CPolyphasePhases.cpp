#include "Audio/DSP/CPolyphasePhases.h"

namespace qel {

void CPolyphasePhases::setKernels(std::shared_ptr<const CPolyphaseKernels> kernels) {
    m_kernels = std::move(kernels);
    m_even.setKernel(m_kernels ? m_kernels->even() : nullptr);
    m_odd.setKernel(m_kernels ? m_kernels->odd() : nullptr);
}

void CPolyphasePhases::reset() {
    m_even.reset();
    m_odd.reset();
}

} // namespace qel
