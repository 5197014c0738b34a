#include "Audio/DSP/CIIRSectionCascade.h"
#include "Audio/DSP/DspKernelLoops.h"
#include "Audio/DSP/SDspKernels.h"

namespace qel {
namespace {
namespace plain {

void fft(const double* zRe, const double* zIm, const uint32_t* bitReverse, double* re, double* im, size_t m,
         const double* twRe, const double* twIm) {
    DspKernelLoops::fftGather(zRe, zIm, bitReverse, re, im, m);
    for (size_t h = DspKernelLoops::fftFirstPasses(re, im, m); h < m; h *= 2)
        DspKernelLoops::fftPass(re, im, m, h, twRe + h, twIm + h);
}

void interleave(const double* re, const double* im, double* out, size_t m) {
    DspKernelLoops::interleave(re, im, out, 0, m);
}

void fftSplitForward(const double* re, const double* im, const double* wRe, const double* wIm, double* out,
                     size_t m) {
    DspKernelLoops::fftSplitForwardBins(re, im, wRe, wIm, out, m, 1, m / 2);
}

void fftSplitInverse(const double* in, double s, const double* wRe, const double* wIm, double* re, double* im,
                     size_t m) {
    DspKernelLoops::fftSplitInverseBins(in, s, wRe, wIm, re, im, m, 1, m / 2);
}

void spectrumProducts(const double* a, const double* b, size_t count, size_t stride, double* out, size_t n) {
    DspKernelLoops::spectrumProductsRealBins(a, b, count, stride, out, n);
    DspKernelLoops::spectrumProductsBins(a, b, count, stride, out, n, 1);
}

void firAccumulate(const double* h, size_t taps, const double* x, double* out, size_t count) {
    DspKernelLoops::firAccumulate(h, taps, x, out, count);
}

void firAccumulateSymmetric(const double* h, size_t taps, const double* x, double* out, size_t count) {
    DspKernelLoops::firAccumulateSymmetric(h, taps, x, out, count);
}

void firInterpolateFolded(const double* e, const double* o, size_t taps, const double* x, double* out,
                          size_t count) {
    for (size_t p = 0; p < count; ++p)
        DspKernelLoops::firInterpolateFoldedPair(e, o, taps, x + p, out + 2 * p,
                                                 [](double a, double b, double c) { return c + a * b; });
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
                                     plain::fft,
                                     plain::interleave,
                                     plain::fftSplitForward,
                                     plain::fftSplitInverse,
                                     plain::spectrumProducts,
                                     plain::firAccumulate,
                                     plain::firAccumulateSymmetric,
                                     plain::firInterpolateFolded,
                                     plain::biquadProcess,
                                     plain::korenProcess};
    return kernels;
}

} // namespace qel
