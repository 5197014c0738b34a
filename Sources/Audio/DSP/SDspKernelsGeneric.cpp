#include "Audio/DSP/CIIRSectionCascade.h"
#include "Audio/DSP/DspKernelLoops.h"
#include "Audio/DSP/SDspKernels.h"

namespace qel {
namespace {
namespace plain {

void fftPasses(double* re, double* im, size_t m, const double* twRe, const double* twIm) {
    for (size_t h = DspKernelLoops::fftFirstPasses(re, im, m); h < m; h *= 2)
        DspKernelLoops::fftPass(re, im, m, h, twRe + h, twIm + h);
}

void spectrumMultiply(const double* a, const double* b, double* out, size_t n) {
    DspKernelLoops::spectrumMultiplyReal(a, b, out);
    DspKernelLoops::spectrumMultiplyBins<false>(a, b, out, 2, n);
}

void spectrumMultiplyAdd(const double* a, const double* b, double* acc, size_t n) {
    acc[0] += a[0] * b[0];
    acc[1] += a[1] * b[1];
    DspKernelLoops::spectrumMultiplyBins<true>(a, b, acc, 2, n);
}

void firAccumulate(const double* h, size_t taps, const double* x, double* out, size_t count) {
    DspKernelLoops::firAccumulate(h, taps, x, out, count);
}

void firAccumulateSymmetric(const double* h, size_t taps, const double* x, double* out, size_t count) {
    DspKernelLoops::firAccumulateSymmetric(h, taps, x, out, count);
}

void biquadProcess(const SBiquadSection& c, SBiquadState& state, const double* in, double* out, size_t n) {
    for (size_t i = 0; i < n; ++i)
        out[i] = CIIRSectionCascade::tick(c, state, in[i]);
}

void korenProcess(const CKorenKernel::SCoefficients& coefs, const double* x, const double* y, double* out,
                  size_t n) {
    const CKorenKernel::SCoefficients c = coefs;
    for (size_t i = 0; i < n; ++i)
        out[i] = CKorenKernel::processSample(c, x[i], y[i]);
}

} // namespace plain
} // namespace

const SDspKernels& SDspKernels::generic() {
    static const SDspKernels kernels{"generic",
                                     plain::fftPasses,
                                     plain::spectrumMultiply,
                                     plain::spectrumMultiplyAdd,
                                     plain::firAccumulate,
                                     plain::firAccumulateSymmetric,
                                     plain::biquadProcess,
                                     plain::korenProcess};
    return kernels;
}

} // namespace qel
