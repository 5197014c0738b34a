#pragma once

#include <cstddef>
#include <cstdint>

#include "Audio/DSP/CKorenKernel.h"
#include "Audio/DSP/SBiquadSection.h"
#include "Audio/DSP/SBiquadState.h"

namespace qel {

// The hot loops of the DSP code, one table per processor build (CCpuDispatch picks one at first use).
// All builds compute the same values up to rounding: the AVX2 build fuses multiply-adds in the FFT, the
// spectrum arithmetic, the FIR loops and the biquad loop. The tube-stage loop is compiled without contraction
// in every build, so its builds are bit-identical. Within a build, a loop gives every output the same value
// however a run is split into calls: block lengths never change results.
//
// Adding a kernel: declare its pointer here, write the generic loop in SDspKernelsGeneric.cpp and the
// AVX2+FMA loop (a function marked QEL_TARGET_AVX2_FMA, calling the same always-inline per-sample code) in
// SDspKernelsAvx2.cpp, fill both tables, and call it through CCpuDispatch::kernels(). Per-sample bodies must
// be inline and always_inline so that each build compiles them with its own instruction set.
struct SDspKernels {
    const char* name;

    // The complex FFT of size m (a power of two) of z, in natural order, into re and im: z as interleaved
    // (real, imaginary) pairs at zRe when zIm is null, else real parts at zRe and imaginary ones at zIm.
    // bitReverse is the bit-reversal table of m; the twiddles of the radix-2 pass with half size h are at
    // [h, 2h) of twRe and twIm. The output must not overlap z.
    void (*fft)(const double* zRe, const double* zIm, const uint32_t* bitReverse, double* re, double* im,
                size_t m, const double* twRe, const double* twIm);
    // out[2n] = re[n], out[2n + 1] = im[n] for n < m.
    void (*interleave)(const double* re, const double* im, double* out, size_t m);
    // The real FFT's split step (CRealFFT, m = N/2 >= 2): from the complex transform (re, im) of the even and
    // odd samples to the packed spectrum out, with the twiddles wRe, wIm = exp(-2πik/N), k <= m/2.
    void (*fftSplitForward)(const double* re, const double* im, const double* wRe, const double* wIm,
                            double* out, size_t m);
    // Backwards, with the scaling s: the packed spectrum in to the complex transform (re, im), bins 1 .. m -
    // 1; bin 0 is left to the caller.
    void (*fftSplitInverse)(const double* in, double s, const double* wRe, const double* wIm, double* re,
                            double* im, size_t m);
    // out = sum over j < count of a_j × b_j for packed real-FFT spectra of n doubles (the layout of
    // CRealFFT), a_j at a + j·stride and b_j at b + j·stride; count >= 1, out overlaps no factor. The real
    // and imaginary parts of the sum are each summed as two separate sums of products (ar·br and ai·bi, ar·bi
    // and ai·br).
    void (*spectrumProducts)(const double* a, const double* b, size_t count, size_t stride, double* out,
                             size_t n);
    // out[p] += sum over i < taps of h[i] × x[p + i], for p < count: a direct-form FIR with h reversed.
    void (*firAccumulate)(const double* h, size_t taps, const double* x, double* out, size_t count);
    // The same for a symmetric h (h[i] == h[taps - 1 - i]), with mirrored taps folded: x[p + i] and
    // x[p + taps - 1 - i] are added before the multiply, so rounding differs from firAccumulate.
    void (*firAccumulateSymmetric)(const double* h, size_t taps, const double* x, double* out, size_t count);
    // Rate doubling by the two phases of a linear-phase low-pass of odd length, both short and symmetric: e
    // with taps values and o with taps - 1, o one sample later in the window. For p < count
    //     out[2p] = sum over i < taps of e[i] × x[p + i],   out[2p + 1] = sum over j < taps - 1 of o[j] × x[p
    //     + 1 + j],
    // with mirrored taps folded and both phases from the same input loads; taps >= 2.
    void (*firInterpolateFolded)(const double* e, const double* o, size_t taps, const double* x, double* out,
                                 size_t count);
    // One second-order section over n samples in direct form II (CIIRSectionCascade::tick), its state
    // carried across calls; out may alias in. Any split of a run into calls gives the same values.
    void (*biquadProcess)(const SBiquadSection& c, SBiquadState& state, const double* in, double* out,
                          size_t n);
    // The tube stage's block loop (CKorenKernel::processSample per sample); y may alias x.
    void (*korenProcess)(const CKorenKernel::SCoefficients& c, const double* x, const double* y, double* out,
                         size_t n);

    static const SDspKernels& generic();
    // Only to be run where CCpuDispatch::isSupported(CCpuDispatch::Avx2Fma); the generic table on other
    // architectures.
    static const SDspKernels& avx2Fma();
};

} // namespace qel
