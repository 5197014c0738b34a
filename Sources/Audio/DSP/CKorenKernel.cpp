#include "Audio/DSP/CKorenKernel.h"

namespace qel {

void CKorenKernel::process(const double* x, const double* y, double* out, size_t n) const {
    const SCoefficients c = m_coefs;
    for (size_t i = 0; i < n; ++i)
        out[i] = processSample(c, x[i], y[i]);
}

} // namespace qel
