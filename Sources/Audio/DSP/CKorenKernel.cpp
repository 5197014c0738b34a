#include "Audio/DSP/CKorenKernel.h"

#include "Audio/DSP/CCpuDispatch.h"

namespace qel {

void CKorenKernel::process(const double* x, const double* y, double* out, size_t n) const {
    CCpuDispatch::kernels().korenProcess(m_coefs, x, y, out, n);
}

} // namespace qel
