// Before any include: clang decides contraction where an expression is parsed, and the tube stage's inline
// arithmetic from CKorenKernel.h must stay unfused so that this build matches the generic one bit for bit.
// The FFT, spectrum and FIR loops below fuse on purpose, with explicit FMA instructions.
#if defined(__clang__)
#pragma clang fp contract(off)
#endif

#include "Audio/DSP/SDspKernels.h"

#if defined(__x86_64__) || defined(__i386__)

#include <algorithm>

#include <immintrin.h>

#include "Audio/DSP/DspKernelLoops.h"

// GCC contracts a * b + c into an FMA in C++ even with -std=c++20, so it is switched off per function.
#if defined(__clang__)
#define QEL_TARGET_AVX2_FMA __attribute__((target("avx2,fma")))
#else
#define QEL_TARGET_AVX2_FMA __attribute__((target("avx2,fma"), optimize("fp-contract=off")))
#endif

#if defined(QEL_HAVE_MVEC)
// glibc's 4-wide AVX2 exp and log (libmvec).
extern "C" __attribute__((target("avx2"))) __m256d _ZGVdN4v_exp(__m256d);
extern "C" __attribute__((target("avx2"))) __m256d _ZGVdN4v_log(__m256d);
#endif

namespace qel {
namespace {
namespace avx2 {

// x × w for complex vectors.
[[gnu::always_inline]] QEL_TARGET_AVX2_FMA inline void complexMultiply(__m256d xr, __m256d xi, __m256d wr,
                                                                       __m256d wi, __m256d& tr, __m256d& ti) {
    tr = _mm256_fmsub_pd(xr, wr, _mm256_mul_pd(xi, wi));
    ti = _mm256_fmadd_pd(xr, wi, _mm256_mul_pd(xi, wr));
}

// One radix-2 butterfly on four lanes: a ± x·w.
[[gnu::always_inline]] QEL_TARGET_AVX2_FMA inline void butterfly(__m256d& ar, __m256d& ai, __m256d& br,
                                                                 __m256d& bi, __m256d wr, __m256d wi) {
    __m256d tr, ti;
    complexMultiply(br, bi, wr, wi, tr, ti);
    br = _mm256_sub_pd(ar, tr);
    bi = _mm256_sub_pd(ai, ti);
    ar = _mm256_add_pd(ar, tr);
    ai = _mm256_add_pd(ai, ti);
}

// The radix-2 passes from half size h on; h is at least 4 whenever a pass remains, so every pass is whole
// vectors. Two passes at a time (h and 2h) load and store each value once: the same butterflies in the same
// order, so the same values as one pass after the other.
QEL_TARGET_AVX2_FMA void fftPassesFrom(double* re, double* im, size_t m, size_t h, const double* twRe,
                                       const double* twIm) {
    for (; 2 * h < m; h *= 4) {
        for (size_t b = 0; b < m; b += 4 * h) {
            double* r = re + b;
            double* i = im + b;
            for (size_t j = 0; j < h; j += 4) {
                __m256d ar = _mm256_loadu_pd(r + j), ai = _mm256_loadu_pd(i + j);
                __m256d br = _mm256_loadu_pd(r + h + j), bi = _mm256_loadu_pd(i + h + j);
                __m256d cr = _mm256_loadu_pd(r + 2 * h + j), ci = _mm256_loadu_pd(i + 2 * h + j);
                __m256d dr = _mm256_loadu_pd(r + 3 * h + j), di = _mm256_loadu_pd(i + 3 * h + j);
                // Pass h: (a, b) and (c, d) with the same twiddle.
                const __m256d w1r = _mm256_loadu_pd(twRe + h + j), w1i = _mm256_loadu_pd(twIm + h + j);
                butterfly(ar, ai, br, bi, w1r, w1i);
                butterfly(cr, ci, dr, di, w1r, w1i);
                // Pass 2h: (a, c) and (b, d).
                butterfly(ar, ai, cr, ci, _mm256_loadu_pd(twRe + 2 * h + j),
                          _mm256_loadu_pd(twIm + 2 * h + j));
                butterfly(br, bi, dr, di, _mm256_loadu_pd(twRe + 3 * h + j),
                          _mm256_loadu_pd(twIm + 3 * h + j));
                _mm256_storeu_pd(r + j, ar);
                _mm256_storeu_pd(i + j, ai);
                _mm256_storeu_pd(r + h + j, br);
                _mm256_storeu_pd(i + h + j, bi);
                _mm256_storeu_pd(r + 2 * h + j, cr);
                _mm256_storeu_pd(i + 2 * h + j, ci);
                _mm256_storeu_pd(r + 3 * h + j, dr);
                _mm256_storeu_pd(i + 3 * h + j, di);
            }
        }
    }
    if (h < m) {
        const double* wr = twRe + h;
        const double* wi = twIm + h;
        for (size_t b = 0; b < m; b += 2 * h)
            for (size_t j = 0; j < h; j += 4) {
                double* ar = re + b + j;
                double* ai = im + b + j;
                __m256d xr = _mm256_loadu_pd(ar), xi = _mm256_loadu_pd(ai);
                __m256d yr = _mm256_loadu_pd(ar + h), yi = _mm256_loadu_pd(ai + h);
                butterfly(xr, xi, yr, yi, _mm256_loadu_pd(wr + j), _mm256_loadu_pd(wi + j));
                _mm256_storeu_pd(ar, xr);
                _mm256_storeu_pd(ai, xi);
                _mm256_storeu_pd(ar + h, yr);
                _mm256_storeu_pd(ai + h, yi);
            }
    }
}

// z[n .. n + 3] as real and imaginary vectors: planar, or deinterleaved from (real, imaginary) pairs.
[[gnu::always_inline]] QEL_TARGET_AVX2_FMA inline void loadComplex4(const double* zRe, const double* zIm,
                                                                    size_t n, __m256d& r, __m256d& i) {
    if (zIm) {
        r = _mm256_loadu_pd(zRe + n);
        i = _mm256_loadu_pd(zIm + n);
        return;
    }
    const __m256d lo = _mm256_loadu_pd(zRe + 2 * n), hi = _mm256_loadu_pd(zRe + 2 * n + 4);
    // [r0 r2 r1 r3] and [i0 i2 i1 i3] put in order.
    r = _mm256_permute4x64_pd(_mm256_unpacklo_pd(lo, hi), 0xD8);
    i = _mm256_permute4x64_pd(_mm256_unpackhi_pd(lo, hi), 0xD8);
}

// Rows of the 4x4 matrix with columns a, b, c, d.
[[gnu::always_inline]] QEL_TARGET_AVX2_FMA inline void transpose4(__m256d a, __m256d b, __m256d c, __m256d d,
                                                                  __m256d* rows) {
    const __m256d t0 = _mm256_unpacklo_pd(a, b), t1 = _mm256_unpackhi_pd(a, b);
    const __m256d t2 = _mm256_unpacklo_pd(c, d), t3 = _mm256_unpackhi_pd(c, d);
    rows[0] = _mm256_permute2f128_pd(t0, t2, 0x20);
    rows[1] = _mm256_permute2f128_pd(t1, t3, 0x20);
    rows[2] = _mm256_permute2f128_pd(t0, t2, 0x31);
    rows[3] = _mm256_permute2f128_pd(t1, t3, 0x31);
}

// The bit-reversed load and the first two passes in one go. Output group g (places 4g .. 4g + 3) takes
// z[n], z[n + m/2], z[n + m/4], z[n + 3m/4] with n = bitReverse[4g], so four consecutive n are four
// groups: their radix-4 butterflies run across the lanes, with the operations of DspKernelLoops::
// fftFirstPasses per lane, and a transpose turns each group into one vector.
QEL_TARGET_AVX2_FMA void fft(const double* zRe, const double* zIm, const uint32_t* bitReverse, double* re,
                             double* im, size_t m, const double* twRe, const double* twIm) {
    size_t h;
    if (m >= 16) {
        const size_t q = m / 4;
        for (size_t n = 0; n < q; n += 4) {
            __m256d r0, i0, r1, i1, r2, i2, r3, i3;
            loadComplex4(zRe, zIm, n, r0, i0);
            loadComplex4(zRe, zIm, n + 2 * q, r1, i1);
            loadComplex4(zRe, zIm, n + q, r2, i2);
            loadComplex4(zRe, zIm, n + 3 * q, r3, i3);
            const __m256d s0r = _mm256_add_pd(r0, r1), s0i = _mm256_add_pd(i0, i1);
            const __m256d d0r = _mm256_sub_pd(r0, r1), d0i = _mm256_sub_pd(i0, i1);
            const __m256d s1r = _mm256_add_pd(r2, r3), s1i = _mm256_add_pd(i2, i3);
            const __m256d d1r = _mm256_sub_pd(r2, r3), d1i = _mm256_sub_pd(i2, i3);
            __m256d rows[4];
            transpose4(_mm256_add_pd(s0r, s1r), _mm256_add_pd(d0r, d1i), _mm256_sub_pd(s0r, s1r),
                       _mm256_sub_pd(d0r, d1i), rows);
            for (size_t k = 0; k < 4; ++k)
                _mm256_storeu_pd(re + 4 * bitReverse[4 * (n + k)], rows[k]);
            transpose4(_mm256_add_pd(s0i, s1i), _mm256_sub_pd(d0i, d1r), _mm256_sub_pd(s0i, s1i),
                       _mm256_add_pd(d0i, d1r), rows);
            for (size_t k = 0; k < 4; ++k)
                _mm256_storeu_pd(im + 4 * bitReverse[4 * (n + k)], rows[k]);
        }
        h = 4;
    } else {
        DspKernelLoops::fftGather(zRe, zIm, bitReverse, re, im, m);
        h = DspKernelLoops::fftFirstPasses(re, im, m);
    }
    fftPassesFrom(re, im, m, h, twRe, twIm);
}

QEL_TARGET_AVX2_FMA void interleave(const double* re, const double* im, double* out, size_t m) {
    size_t n = 0;
    for (; n + 4 <= m; n += 4) {
        // [r0 i0 r2 i2] and [r1 i1 r3 i3] into [r0 i0 r1 i1] and [r2 i2 r3 i3].
        const __m256d r = _mm256_loadu_pd(re + n), i = _mm256_loadu_pd(im + n);
        const __m256d lo = _mm256_unpacklo_pd(r, i), hi = _mm256_unpackhi_pd(r, i);
        _mm256_storeu_pd(out + 2 * n, _mm256_permute2f128_pd(lo, hi, 0x20));
        _mm256_storeu_pd(out + 2 * n + 4, _mm256_permute2f128_pd(lo, hi, 0x31));
    }
    DspKernelLoops::interleave(re, im, out, n, m);
}

// The four values at [at, at + 4) in reverse order.
[[gnu::always_inline]] QEL_TARGET_AVX2_FMA inline __m256d loadReversed(const double* at) {
    return _mm256_permute4x64_pd(_mm256_loadu_pd(at), 0x1B);
}

// Four bins k and their mirrors m - k per step, with the scalar step's operations per lane (so the same
// values): the mirrors are loaded and stored reversed. The bins next to m/2 go one by one.
QEL_TARGET_AVX2_FMA void fftSplitForward(const double* re, const double* im, const double* wRe,
                                         const double* wIm, double* out, size_t m) {
    const __m256d half = _mm256_set1_pd(0.5), minusHalf = _mm256_set1_pd(-0.5);
    const __m256d negate = _mm256_set1_pd(-0.0);
    size_t k = 1;
    for (; k + 4 <= m / 2; k += 4) {
        const size_t mk = m - k - 3;
        const __m256d rk = _mm256_loadu_pd(re + k), ik = _mm256_loadu_pd(im + k);
        const __m256d cr = loadReversed(re + mk), ci = _mm256_xor_pd(loadReversed(im + mk), negate);
        const __m256d er = _mm256_mul_pd(half, _mm256_add_pd(rk, cr)),
                      ei = _mm256_mul_pd(half, _mm256_add_pd(ik, ci));
        const __m256d orr = _mm256_mul_pd(half, _mm256_sub_pd(ik, ci));
        const __m256d oi = _mm256_mul_pd(minusHalf, _mm256_sub_pd(rk, cr));
        const __m256d wr = _mm256_loadu_pd(wRe + k), wi = _mm256_loadu_pd(wIm + k);
        const __m256d tr = _mm256_sub_pd(_mm256_mul_pd(wr, orr), _mm256_mul_pd(wi, oi));
        const __m256d ti = _mm256_add_pd(_mm256_mul_pd(wr, oi), _mm256_mul_pd(wi, orr));
        _mm256_storeu_pd(out + k, _mm256_add_pd(er, tr));
        _mm256_storeu_pd(out + m + k, _mm256_add_pd(ei, ti));
        _mm256_storeu_pd(out + mk, _mm256_permute4x64_pd(_mm256_sub_pd(er, tr), 0x1B));
        _mm256_storeu_pd(out + m + mk, _mm256_permute4x64_pd(_mm256_sub_pd(ti, ei), 0x1B));
    }
    DspKernelLoops::fftSplitForwardBins(re, im, wRe, wIm, out, m, k, m / 2);
}

QEL_TARGET_AVX2_FMA void fftSplitInverse(const double* in, double s, const double* wRe, const double* wIm,
                                         double* re, double* im, size_t m) {
    const __m256d sv = _mm256_set1_pd(s), negate = _mm256_set1_pd(-0.0);
    size_t k = 1;
    for (; k + 4 <= m / 2; k += 4) {
        const size_t mk = m - k - 3;
        const __m256d ar = _mm256_loadu_pd(in + k), ai = _mm256_loadu_pd(in + m + k);
        const __m256d cr = loadReversed(in + mk), ci = _mm256_xor_pd(loadReversed(in + m + mk), negate);
        const __m256d er = _mm256_mul_pd(sv, _mm256_add_pd(ar, cr)),
                      ei = _mm256_mul_pd(sv, _mm256_add_pd(ai, ci));
        const __m256d dr = _mm256_mul_pd(sv, _mm256_sub_pd(ar, cr)),
                      di = _mm256_mul_pd(sv, _mm256_sub_pd(ai, ci));
        const __m256d wr = _mm256_loadu_pd(wRe + k), wi = _mm256_xor_pd(_mm256_loadu_pd(wIm + k), negate);
        const __m256d orr = _mm256_sub_pd(_mm256_mul_pd(dr, wr), _mm256_mul_pd(di, wi));
        const __m256d oi = _mm256_add_pd(_mm256_mul_pd(dr, wi), _mm256_mul_pd(di, wr));
        _mm256_storeu_pd(re + k, _mm256_sub_pd(er, oi));
        _mm256_storeu_pd(im + k, _mm256_add_pd(ei, orr));
        _mm256_storeu_pd(re + mk, _mm256_permute4x64_pd(_mm256_add_pd(er, oi), 0x1B));
        _mm256_storeu_pd(im + mk, _mm256_permute4x64_pd(_mm256_sub_pd(orr, ei), 0x1B));
    }
    DspKernelLoops::fftSplitInverseBins(in, s, wRe, wIm, re, im, m, k, m / 2);
}

// Eight bins at a time, their four partial sums each in two vectors: eight independent FMA chains. The
// spectra go in groups, each group's sums kept in registers across its spectra and then added to out, so
// the loads run through a few spectra side by side where the prefetchers follow them; a group's factors
// stay within 32 KiB (the first-level cache), up to four pairs of spectra.
QEL_TARGET_AVX2_FMA void spectrumProducts(const double* a, const double* b, size_t count, size_t stride,
                                          double* out, size_t n) {
    const size_t kGroup = std::clamp<size_t>(2048 / n, 1, 4);
    const size_t m = n / 2;
    size_t vectorBins = m - m % 8;
    for (size_t first = 0; first < count; first += kGroup) {
        const size_t last = std::min(count, first + kGroup);
        for (size_t k = 0; k < vectorBins; k += 8) {
            __m256d rr0 = _mm256_setzero_pd(), ii0 = _mm256_setzero_pd(), ri0 = _mm256_setzero_pd();
            __m256d ir0 = _mm256_setzero_pd(), rr1 = _mm256_setzero_pd(), ii1 = _mm256_setzero_pd();
            __m256d ri1 = _mm256_setzero_pd(), ir1 = _mm256_setzero_pd();
            const double* aj = a + first * stride + k;
            const double* bj = b + first * stride + k;
            for (size_t j = first; j < last; ++j, aj += stride, bj += stride) {
                const __m256d ar0 = _mm256_loadu_pd(aj), ai0 = _mm256_loadu_pd(aj + m);
                const __m256d br0 = _mm256_loadu_pd(bj), bi0 = _mm256_loadu_pd(bj + m);
                const __m256d ar1 = _mm256_loadu_pd(aj + 4), ai1 = _mm256_loadu_pd(aj + m + 4);
                const __m256d br1 = _mm256_loadu_pd(bj + 4), bi1 = _mm256_loadu_pd(bj + m + 4);
                rr0 = _mm256_fmadd_pd(ar0, br0, rr0);
                ii0 = _mm256_fmadd_pd(ai0, bi0, ii0);
                ri0 = _mm256_fmadd_pd(ar0, bi0, ri0);
                ir0 = _mm256_fmadd_pd(ai0, br0, ir0);
                rr1 = _mm256_fmadd_pd(ar1, br1, rr1);
                ii1 = _mm256_fmadd_pd(ai1, bi1, ii1);
                ri1 = _mm256_fmadd_pd(ar1, bi1, ri1);
                ir1 = _mm256_fmadd_pd(ai1, br1, ir1);
            }
            __m256d re0 = _mm256_sub_pd(rr0, ii0), im0 = _mm256_add_pd(ri0, ir0);
            __m256d re1 = _mm256_sub_pd(rr1, ii1), im1 = _mm256_add_pd(ri1, ir1);
            if (first > 0) {
                re0 = _mm256_add_pd(_mm256_loadu_pd(out + k), re0);
                im0 = _mm256_add_pd(_mm256_loadu_pd(out + m + k), im0);
                re1 = _mm256_add_pd(_mm256_loadu_pd(out + k + 4), re1);
                im1 = _mm256_add_pd(_mm256_loadu_pd(out + m + k + 4), im1);
            }
            _mm256_storeu_pd(out + k, re0);
            _mm256_storeu_pd(out + m + k, im0);
            _mm256_storeu_pd(out + k + 4, re1);
            _mm256_storeu_pd(out + m + k + 4, im1);
        }
    }
    DspKernelLoops::spectrumProductsBins(a, b, count, stride, out, n, std::max<size_t>(vectorBins, 1));
    // Bin 0 went through the vectors as if complex.
    DspKernelLoops::spectrumProductsRealBins(a, b, count, stride, out, n);
}

// One output of firAccumulate in the order of its vector loops: the residue classes of the taps one after
// the other, each in increasing order, fused into one sum. Every output then has the same value whichever
// loop computed it, so block lengths never change results.
QEL_TARGET_AVX2_FMA inline double classOrderSum(const double* h, size_t taps, const double* x) {
    double s = 0.0;
    for (size_t r = 0; r < 4 && r < taps; ++r)
        for (size_t i = r; i < taps; i += 4)
            s = __builtin_fma(h[i], x[i], s);
    return s;
}

// The same for firAccumulateSymmetric: the tap pairs by residue class, then the middle tap.
QEL_TARGET_AVX2_FMA inline double foldedClassOrderSum(const double* h, size_t taps, const double* x) {
    const size_t pairs = taps / 2;
    double s = 0.0;
    for (size_t r = 0; r < 4 && r < pairs; ++r)
        for (size_t i = r; i < pairs; i += 4)
            s = __builtin_fma(h[i], x[i] + x[taps - 1 - i], s);
    if (taps % 2) s = __builtin_fma(h[pairs], x[pairs], s);
    return s;
}

// 4·V outputs of firAccumulate in V accumulators. The taps of one residue class i = r (mod 4) meet input
// vectors four samples apart, so each tap reuses V - 1 input vectors of the tap before: one load and one
// broadcast per V FMAs. Each output is summed in class order, whatever V.
template <size_t V>
[[gnu::always_inline]] QEL_TARGET_AVX2_FMA inline void firBlock(const double* h, size_t taps,
                                                                const double* xp, double* out) {
    __m256d s[V];
#pragma GCC unroll 8
    for (size_t k = 0; k < V; ++k)
        s[k] = _mm256_setzero_pd();
    for (size_t r = 0; r < 4 && r < taps; ++r) {
        __m256d w[V];
#pragma GCC unroll 8
        for (size_t k = 0; k + 1 < V; ++k)
            w[k] = _mm256_loadu_pd(xp + r + 4 * k);
        for (size_t i = r; i < taps; i += 4) {
            w[V - 1] = _mm256_loadu_pd(xp + i + 4 * (V - 1));
            const __m256d hv = _mm256_broadcast_sd(h + i);
#pragma GCC unroll 8
            for (size_t k = 0; k < V; ++k)
                s[k] = _mm256_fmadd_pd(hv, w[k], s[k]);
#pragma GCC unroll 8
            for (size_t k = 0; k + 1 < V; ++k)
                w[k] = w[k + 1];
        }
    }
#pragma GCC unroll 8
    for (size_t k = 0; k < V; ++k)
        _mm256_storeu_pd(out + 4 * k, _mm256_add_pd(_mm256_loadu_pd(out + 4 * k), s[k]));
}

// Vectorised across outputs, 24 at a time: six accumulators are enough independent chains to hide the FMA
// latency. The rest in 16, 8 and 4, then one at a time, each output summed in the same order.
QEL_TARGET_AVX2_FMA void firAccumulate(const double* h, size_t taps, const double* x, double* out,
                                       size_t count) {
    size_t p = 0;
    for (; p + 24 <= count; p += 24)
        firBlock<6>(h, taps, x + p, out + p);
    if (p + 16 <= count) {
        firBlock<4>(h, taps, x + p, out + p);
        p += 16;
    }
    if (p + 8 <= count) {
        firBlock<2>(h, taps, x + p, out + p);
        p += 8;
    }
    if (p + 4 <= count) {
        firBlock<1>(h, taps, x + p, out + p);
        p += 4;
    }
    for (; p < count; ++p)
        out[p] += classOrderSum(h, taps, x + p);
}

// A symmetric kernel folded: each pair of mirrored taps is one add and one FMA. The forward and the mirrored
// residue classes slide through the input in opposite directions, each with one new load per tap pair.
QEL_TARGET_AVX2_FMA void firAccumulateSymmetric(const double* h, size_t taps, const double* x, double* out,
                                                size_t count) {
    const size_t pairs = taps / 2;
    size_t p = 0;
    for (; p + 16 <= count; p += 16) {
        const double* xp = x + p;
        __m256d s0 = _mm256_setzero_pd(), s1 = _mm256_setzero_pd();
        __m256d s2 = _mm256_setzero_pd(), s3 = _mm256_setzero_pd();
        for (size_t r = 0; r < 4 && r < pairs; ++r) {
            // Forward window at tap i, mirrored window at tap taps - 1 - i (it moves down by four a pair).
            const size_t j = taps - 1 - r;
            __m256d f0 = _mm256_loadu_pd(xp + r), f1 = _mm256_loadu_pd(xp + r + 4);
            __m256d f2 = _mm256_loadu_pd(xp + r + 8);
            __m256d b1 = _mm256_loadu_pd(xp + j + 4), b2 = _mm256_loadu_pd(xp + j + 8);
            __m256d b3 = _mm256_loadu_pd(xp + j + 12);
            for (size_t i = r; i < pairs; i += 4) {
                const __m256d f3 = _mm256_loadu_pd(xp + i + 12);
                const __m256d b0 = _mm256_loadu_pd(xp + (taps - 1 - i));
                const __m256d hv = _mm256_broadcast_sd(h + i);
                s0 = _mm256_fmadd_pd(hv, _mm256_add_pd(f0, b0), s0);
                s1 = _mm256_fmadd_pd(hv, _mm256_add_pd(f1, b1), s1);
                s2 = _mm256_fmadd_pd(hv, _mm256_add_pd(f2, b2), s2);
                s3 = _mm256_fmadd_pd(hv, _mm256_add_pd(f3, b3), s3);
                f0 = f1;
                f1 = f2;
                f2 = f3;
                b3 = b2;
                b2 = b1;
                b1 = b0;
            }
        }
        if (taps % 2) {
            const __m256d hv = _mm256_broadcast_sd(h + pairs);
            s0 = _mm256_fmadd_pd(hv, _mm256_loadu_pd(xp + pairs), s0);
            s1 = _mm256_fmadd_pd(hv, _mm256_loadu_pd(xp + pairs + 4), s1);
            s2 = _mm256_fmadd_pd(hv, _mm256_loadu_pd(xp + pairs + 8), s2);
            s3 = _mm256_fmadd_pd(hv, _mm256_loadu_pd(xp + pairs + 12), s3);
        }
        const __m256d sums[4] = {s0, s1, s2, s3};
        for (size_t k = 0; k < 4; ++k)
            _mm256_storeu_pd(out + p + 4 * k, _mm256_add_pd(_mm256_loadu_pd(out + p + 4 * k), sums[k]));
    }
    for (; p < count; ++p)
        out[p] += foldedClassOrderSum(h, taps, x + p);
}

// Four vectors of 16 outputs, as named values: the compiler keeps them in registers.
struct SFourVectors {
    __m256d v0, v1, v2, v3;
};

// acc += h × (x[i ..] + x[mirror ..]) for 16 outputs.
[[gnu::always_inline]] QEL_TARGET_AVX2_FMA inline void foldedStep(SFourVectors& acc, double h,
                                                                  const double* xp, size_t i, size_t mirror) {
    const __m256d hv = _mm256_set1_pd(h);
    const double* f = xp + i;
    const double* m = xp + mirror;
    acc.v0 = _mm256_fmadd_pd(hv, _mm256_add_pd(_mm256_loadu_pd(f), _mm256_loadu_pd(m)), acc.v0);
    acc.v1 = _mm256_fmadd_pd(hv, _mm256_add_pd(_mm256_loadu_pd(f + 4), _mm256_loadu_pd(m + 4)), acc.v1);
    acc.v2 = _mm256_fmadd_pd(hv, _mm256_add_pd(_mm256_loadu_pd(f + 8), _mm256_loadu_pd(m + 8)), acc.v2);
    acc.v3 = _mm256_fmadd_pd(hv, _mm256_add_pd(_mm256_loadu_pd(f + 12), _mm256_loadu_pd(m + 12)), acc.v3);
}

// foldedStep for both phases at one forward index, each forward vector used by both and then let go: eight
// accumulators and two taps leave few registers.
[[gnu::always_inline]] QEL_TARGET_AVX2_FMA inline void foldedPairStep(SFourVectors& ev, SFourVectors& od,
                                                                      double he, double ho, const double* xp,
                                                                      size_t i, size_t evenMirror,
                                                                      size_t oddMirror) {
    const __m256d hE = _mm256_set1_pd(he), hO = _mm256_set1_pd(ho);
    const double* f = xp + i;
    const double* me = xp + evenMirror;
    const double* mo = xp + oddMirror;
    __m256d v = _mm256_loadu_pd(f);
    ev.v0 = _mm256_fmadd_pd(hE, _mm256_add_pd(v, _mm256_loadu_pd(me)), ev.v0);
    od.v0 = _mm256_fmadd_pd(hO, _mm256_add_pd(v, _mm256_loadu_pd(mo)), od.v0);
    v = _mm256_loadu_pd(f + 4);
    ev.v1 = _mm256_fmadd_pd(hE, _mm256_add_pd(v, _mm256_loadu_pd(me + 4)), ev.v1);
    od.v1 = _mm256_fmadd_pd(hO, _mm256_add_pd(v, _mm256_loadu_pd(mo + 4)), od.v1);
    v = _mm256_loadu_pd(f + 8);
    ev.v2 = _mm256_fmadd_pd(hE, _mm256_add_pd(v, _mm256_loadu_pd(me + 8)), ev.v2);
    od.v2 = _mm256_fmadd_pd(hO, _mm256_add_pd(v, _mm256_loadu_pd(mo + 8)), od.v2);
    v = _mm256_loadu_pd(f + 12);
    ev.v3 = _mm256_fmadd_pd(hE, _mm256_add_pd(v, _mm256_loadu_pd(me + 12)), ev.v3);
    od.v3 = _mm256_fmadd_pd(hO, _mm256_add_pd(v, _mm256_loadu_pd(mo + 12)), od.v3);
}

// Eight outputs as [e o e o ..] from four even and four odd ones.
[[gnu::always_inline]] QEL_TARGET_AVX2_FMA inline void storeInterleaved(double* out, __m256d even,
                                                                        __m256d odd) {
    // [e0 o0 e2 o2] and [e1 o1 e3 o3] into [e0 o0 e1 o1] and [e2 o2 e3 o3].
    const __m256d lo = _mm256_unpacklo_pd(even, odd), hi = _mm256_unpackhi_pd(even, odd);
    _mm256_storeu_pd(out, _mm256_permute2f128_pd(lo, hi, 0x20));
    _mm256_storeu_pd(out + 4, _mm256_permute2f128_pd(lo, hi, 0x31));
}

// Fused multiply-add for the scalar parts that must match the vector loops.
struct SFusedMulAdd {
    QEL_TARGET_AVX2_FMA double operator()(double a, double b, double c) const {
        return __builtin_fma(a, b, c);
    }
};

// 16 output pairs at a time, the even and odd phase in four accumulators each: eight FMA chains, and each
// forward input vector serves both phases.
QEL_TARGET_AVX2_FMA void firInterpolateFolded(const double* e, const double* o, size_t taps, const double* x,
                                              double* out, size_t count) {
    // Forward index i: the even pair (i, taps - 1 - i) for i < ePairs, the odd pair (i, taps - i) for
    // 1 <= i <= oPairs.
    const size_t ePairs = taps / 2, oPairs = (taps - 1) / 2;
    const size_t both = std::min(ePairs, oPairs + 1);
    size_t p = 0;
    for (; p + 16 <= count; p += 16) {
        const double* xp = x + p;
        const __m256d zero = _mm256_setzero_pd();
        SFourVectors ev{zero, zero, zero, zero}, od{zero, zero, zero, zero};
        if (ePairs > 0) foldedStep(ev, e[0], xp, 0, taps - 1);
        for (size_t i = 1; i < both; ++i)
            foldedPairStep(ev, od, e[i], o[i - 1], xp, i, taps - 1 - i, taps - i);
        for (size_t i = std::max<size_t>(both, 1); i <= oPairs; ++i)
            foldedStep(od, o[i - 1], xp, i, taps - i);
        // Middle taps count once: the mirror index is the same and the tap is halved.
        if (taps % 2) foldedStep(ev, 0.5 * e[ePairs], xp, ePairs, ePairs);
        if ((taps - 1) % 2) foldedStep(od, 0.5 * o[oPairs], xp, 1 + oPairs, 1 + oPairs);
        double* o2 = out + 2 * p;
        storeInterleaved(o2, ev.v0, od.v0);
        storeInterleaved(o2 + 8, ev.v1, od.v1);
        storeInterleaved(o2 + 16, ev.v2, od.v2);
        storeInterleaved(o2 + 24, ev.v3, od.v3);
    }
    for (; p < count; ++p)
        DspKernelLoops::firInterpolateFoldedPair(e, o, taps, x + p, out + 2 * p, SFusedMulAdd());
}

// Eight samples per step. With g the impulse response of 1 / (1 + a1 z^-1 + a2 z^-2), the values of a
// step are w[n + k] = sum over j <= k of g[j] x[n + k - j] + g[k + 1] w[n - 1] - a2 g[k] w[n - 2]: the
// input part has no recursion, and both halves of the step take their recursive part from the last two
// values of the one before, so the chain between steps is one broadcast and two multiply-adds.
struct SBiquadSteps {
    explicit SBiquadSteps(const SBiquadSection& c) {
        g[0] = 1.0;
        g[1] = -c.a1;
        for (size_t j = 2; j <= SBiquadState::kStep; ++j)
            g[j] = -c.a1 * g[j - 1] - c.a2 * g[j - 2];
        for (size_t m = 0; m < SBiquadState::kStep; ++m)
            for (size_t k = 0; k < SBiquadState::kStep; ++k)
                columns[m][k] = k < m ? 0.0 : g[k - m];
        for (size_t k = 0; k < SBiquadState::kStep; ++k) {
            p[k] = g[k + 1];
            q[k] = -c.a2 * g[k];
        }
    }

    double g[SBiquadState::kStep + 1];
    // Column m: the weights of input m for the step's outputs.
    alignas(32) double columns[SBiquadState::kStep][SBiquadState::kStep];
    alignas(32) double p[SBiquadState::kStep];
    alignas(32) double q[SBiquadState::kStep];
};

// One sample of a step begun at stepDone 0, with the operations of its vector lane in their order, so
// that a block ending inside a step changes nothing.
QEL_TARGET_AVX2_FMA inline double biquadStepSample(const SBiquadSection& c, const SBiquadSteps& steps,
                                                   SBiquadState& s, double x) {
    if (s.stepDone == 0) {
        s.stepW1 = s.w1;
        s.stepW2 = s.w2;
    }
    const uint32_t k = s.stepDone;
    s.stepInput[k] = x;
    double acc = 0.0;
    for (uint32_t m = 0; m <= k; ++m)
        acc = __builtin_fma(steps.g[k - m], s.stepInput[m], acc);
    const double w = __builtin_fma(steps.p[k], s.stepW1, __builtin_fma(steps.q[k], s.stepW2, acc));
    const double y = __builtin_fma(c.b0, w, __builtin_fma(c.b1, s.w1, c.b2 * s.w2));
    s.w2 = s.w1;
    s.w1 = w;
    s.stepDone = (k + 1) % SBiquadState::kStep;
    return y;
}

QEL_TARGET_AVX2_FMA void biquadProcess(const SBiquadSection& section, SBiquadState& s, const double* in,
                                       double* out, size_t n) {
    // A copy, so that stores to out need not reload the coefficients.
    const SBiquadSection c = section;
    const SBiquadSteps steps(c);
    size_t i = 0;
    for (; i < n && s.stepDone; ++i)
        out[i] = biquadStepSample(c, steps, s, in[i]);
    if (i + SBiquadState::kStep <= n) {
        const __m256d pLo = _mm256_load_pd(steps.p), pHi = _mm256_load_pd(steps.p + 4);
        const __m256d qLo = _mm256_load_pd(steps.q), qHi = _mm256_load_pd(steps.q + 4);
        const __m256d b0 = _mm256_set1_pd(c.b0), b1 = _mm256_set1_pd(c.b1), b2 = _mm256_set1_pd(c.b2);
        // The previous step's upper half; lanes 2 and 3 are w[n - 2] and w[n - 1].
        __m256d previous = _mm256_set_pd(s.w1, s.w2, 0.0, 0.0);
        for (; i + SBiquadState::kStep <= n; i += SBiquadState::kStep) {
            __m256d lo = _mm256_setzero_pd(), hi = _mm256_setzero_pd();
            for (size_t m = 0; m < 4; ++m) {
                const __m256d x = _mm256_broadcast_sd(in + i + m);
                lo = _mm256_fmadd_pd(_mm256_load_pd(steps.columns[m]), x, lo);
                hi = _mm256_fmadd_pd(_mm256_load_pd(steps.columns[m] + 4), x, hi);
            }
            for (size_t m = 4; m < SBiquadState::kStep; ++m)
                hi = _mm256_fmadd_pd(_mm256_load_pd(steps.columns[m] + 4), _mm256_broadcast_sd(in + i + m),
                                     hi);
            const __m256d last = _mm256_permute4x64_pd(previous, 0xFF);
            const __m256d beforeLast = _mm256_permute4x64_pd(previous, 0xAA);
            lo = _mm256_fmadd_pd(pLo, last, _mm256_fmadd_pd(qLo, beforeLast, lo));
            hi = _mm256_fmadd_pd(pHi, last, _mm256_fmadd_pd(qHi, beforeLast, hi));
            // Each half's values two and one samples back: [prev2, prev3, cur0, cur1], [prev3, cur0..2].
            const __m256d lo2 = _mm256_permute2f128_pd(previous, lo, 0x21);
            const __m256d lo1 = _mm256_shuffle_pd(lo2, lo, 0x5);
            const __m256d hi2 = _mm256_permute2f128_pd(lo, hi, 0x21);
            const __m256d hi1 = _mm256_shuffle_pd(hi2, hi, 0x5);
            _mm256_storeu_pd(out + i,
                             _mm256_fmadd_pd(b0, lo, _mm256_fmadd_pd(b1, lo1, _mm256_mul_pd(b2, lo2))));
            _mm256_storeu_pd(out + i + 4,
                             _mm256_fmadd_pd(b0, hi, _mm256_fmadd_pd(b1, hi1, _mm256_mul_pd(b2, hi2))));
            previous = hi;
        }
        alignas(32) double values[4];
        _mm256_store_pd(values, previous);
        s.w1 = values[3];
        s.w2 = values[2];
    }
    for (; i < n; ++i)
        out[i] = biquadStepSample(c, steps, s, in[i]);
}

#if defined(QEL_HAVE_MVEC)
// The same steps as CKorenKernel::inverseModel on K vectors of four samples, with glibc's vector exp and log
// (libmvec, within 4 ulp of the scalar functions). Each step runs over all K vectors before the next: the
// chains of calls are independent, so the processor overlaps them instead of waiting out one chain.
template <size_t K>
QEL_TARGET_AVX2_FMA inline void inverseModel(const CKorenKernel::SCoefficients& c, const __m256d* Vp,
                                             const __m256d* Ip, __m256d* grid) {
    __m256d v[K];
    for (size_t k = 0; k < K; ++k)
        v[k] = _ZGVdN4v_log(_mm256_mul_pd(Ip[k], _mm256_set1_pd(c.kG1)));
    for (size_t k = 0; k < K; ++k)
        v[k] = _ZGVdN4v_exp(_mm256_mul_pd(v[k], _mm256_set1_pd(c.invX)));
    for (size_t k = 0; k < K; ++k)
        v[k] = _ZGVdN4v_exp(_mm256_div_pd(_mm256_mul_pd(v[k], _mm256_set1_pd(c.kP)), Vp[k]));
    for (size_t k = 0; k < K; ++k)
        v[k] = _ZGVdN4v_log(_mm256_sub_pd(v[k], _mm256_set1_pd(1.0)));
    for (size_t k = 0; k < K; ++k) {
        const __m256d root =
            _mm256_sqrt_pd(_mm256_add_pd(_mm256_mul_pd(Vp[k], Vp[k]), _mm256_set1_pd(c.kVB)));
        grid[k] = _mm256_mul_pd(
            root, _mm256_sub_pd(_mm256_mul_pd(v[k], _mm256_set1_pd(c.invKP)), _mm256_set1_pd(c.invMu)));
    }
}

// CKorenKernel::processSample on 4·K samples.
template <size_t K>
QEL_TARGET_AVX2_FMA inline void korenSamples(const CKorenKernel::SCoefficients& c, __m256d Eg0,
                                             const double* x, const double* y, double* out) {
    const __m256d one = _mm256_set1_pd(1.0), guard = _mm256_set1_pd(1e-10), zero = _mm256_setzero_pd();
    __m256d d[K], Vp[K], Ip[K], grid[K];
    for (size_t k = 0; k < K; ++k) {
        const __m256d xv = _mm256_loadu_pd(x + 4 * k), yv = _mm256_loadu_pd(y + 4 * k);
        const __m256d r =
            _mm256_add_pd(_mm256_sqrt_pd(_mm256_add_pd(_mm256_mul_pd(xv, xv), _mm256_mul_pd(yv, yv))),
                          _mm256_set1_pd(1e-20));
        d[k] = c.mode == 0 ? r : _mm256_blendv_pd(one, r, _mm256_cmp_pd(r, one, _CMP_GE_OQ));
        Vp[k] = _mm256_add_pd(_mm256_div_pd(_mm256_mul_pd(_mm256_set1_pd(c.vScale), xv), d[k]),
                              _mm256_set1_pd(c.Vbias));
        Ip[k] = _mm256_add_pd(_mm256_div_pd(_mm256_mul_pd(_mm256_set1_pd(c.iScale), yv), d[k]),
                              _mm256_set1_pd(c.I0));
        Vp[k] = _mm256_blendv_pd(Vp[k], guard, _mm256_cmp_pd(Vp[k], zero, _CMP_EQ_OQ));
        Ip[k] = _mm256_blendv_pd(Ip[k], guard, _mm256_cmp_pd(Ip[k], zero, _CMP_LE_OQ));
    }
    inverseModel<K>(c, Vp, Ip, grid);
    for (size_t k = 0; k < K; ++k)
        _mm256_storeu_pd(out + 4 * k, _mm256_mul_pd(_mm256_mul_pd(d[k], _mm256_set1_pd(c.outScale)),
                                                    _mm256_sub_pd(grid[k], Eg0)));
}

QEL_TARGET_AVX2_FMA void korenProcess(const CKorenKernel::SCoefficients& coefs, const double* x,
                                      const double* y, double* out, size_t n) {
    const CKorenKernel::SCoefficients c = coefs;
    // The bias grid voltage from the same vector functions, so that silence gives exactly zero.
    const __m256d bias[2] = {_mm256_set1_pd(c.Vbias), _mm256_set1_pd(c.I0)};
    __m256d biasGrid;
    inverseModel<1>(c, &bias[0], &bias[1], &biasGrid);
    const __m256d Eg0 = _mm256_set1_pd(_mm256_cvtsd_f64(biasGrid));
    constexpr size_t kVectors = 4;
    size_t i = 0;
    for (; i + 4 * kVectors <= n; i += 4 * kVectors)
        korenSamples<kVectors>(c, Eg0, x + i, y + i, out + i);
    for (; i + 4 <= n; i += 4)
        korenSamples<1>(c, Eg0, x + i, y + i, out + i);
    if (i < n) {
        // The last samples through the same lanes, so results never depend on where a block ends.
        alignas(32) double xs[4] = {}, ys[4] = {}, rest[4];
        for (size_t k = 0; i + k < n; ++k) {
            xs[k] = x[i + k];
            ys[k] = y[i + k];
        }
        korenSamples<1>(c, Eg0, xs, ys, rest);
        for (size_t k = 0; i + k < n; ++k)
            out[i + k] = rest[k];
    }
}
#else
QEL_TARGET_AVX2_FMA void korenProcess(const CKorenKernel::SCoefficients& coefs, const double* x,
                                      const double* y, double* out, size_t n) {
    const CKorenKernel::SCoefficients c = coefs;
    for (size_t i = 0; i < n; ++i)
        out[i] = CKorenKernel::processSample(c, x[i], y[i]);
}
#endif

} // namespace avx2
} // namespace

const SDspKernels& SDspKernels::avx2Fma() {
    static const SDspKernels kernels{"avx2+fma",
                                     avx2::fft,
                                     avx2::interleave,
                                     avx2::fftSplitForward,
                                     avx2::fftSplitInverse,
                                     avx2::spectrumProducts,
                                     avx2::firAccumulate,
                                     avx2::firAccumulateSymmetric,
                                     avx2::firInterpolateFolded,
                                     avx2::biquadProcess,
                                     avx2::korenProcess};
    return kernels;
}

} // namespace qel

#else

namespace qel {

const SDspKernels& SDspKernels::avx2Fma() {
    return generic();
}

} // namespace qel

#endif
