#pragma once

#include <cstddef>
#include <cstdint>

// Loop pieces shared by the processor builds of SDspKernels; always inline, so each build compiles them with
// its own instruction set.
namespace qel::DspKernelLoops {

// The FFT passes with half sizes 1 and 2 as one radix-4 pass (their twiddles are 1 and -i); returns the
// half size of the next pass.
[[gnu::always_inline]] inline size_t fftFirstPasses(double* re, double* im, size_t m) {
    if (m < 2) return m;
    if (m == 2) {
        const double r = re[1], i = im[1];
        re[1] = re[0] - r;
        im[1] = im[0] - i;
        re[0] += r;
        im[0] += i;
        return 2;
    }
    for (size_t b = 0; b < m; b += 4) {
        double* r = re + b;
        double* i = im + b;
        const double s0r = r[0] + r[1], s0i = i[0] + i[1];
        const double d0r = r[0] - r[1], d0i = i[0] - i[1];
        const double s1r = r[2] + r[3], s1i = i[2] + i[3];
        const double d1r = r[2] - r[3], d1i = i[2] - i[3];
        r[0] = s0r + s1r;
        i[0] = s0i + s1i;
        r[2] = s0r - s1r;
        i[2] = s0i - s1i;
        r[1] = d0r + d1i;
        i[1] = d0i - d1r;
        r[3] = d0r - d1i;
        i[3] = d0i + d1r;
    }
    return 4;
}

// z[n] (interleaved pairs at zRe when zIm is null, else planar) into re, im at bitReverse[n], scalar.
[[gnu::always_inline]] inline void fftGather(const double* zRe, const double* zIm, const uint32_t* bitReverse,
                                             double* re, double* im, size_t m) {
    for (size_t n = 0; n < m; ++n) {
        const uint32_t r = bitReverse[n];
        re[r] = zIm ? zRe[n] : zRe[2 * n];
        im[r] = zIm ? zIm[n] : zRe[2 * n + 1];
    }
}

// The pass with half size h (scalar).
[[gnu::always_inline]] inline void fftPass(double* re, double* im, size_t m, size_t h, const double* wr,
                                           const double* wi) {
    for (size_t b = 0; b < m; b += 2 * h) {
        double* ar = re + b;
        double* ai = im + b;
        double* br = ar + h;
        double* bi = ai + h;
        for (size_t j = 0; j < h; ++j) {
            const double tr = br[j] * wr[j] - bi[j] * wi[j];
            const double ti = br[j] * wi[j] + bi[j] * wr[j];
            br[j] = ar[j] - tr;
            bi[j] = ai[j] - ti;
            ar[j] += tr;
            ai[j] += ti;
        }
    }
}

// out[2n] = re[n], out[2n + 1] = im[n] for n in [from, m).
[[gnu::always_inline]] inline void interleave(const double* re, const double* im, double* out, size_t from,
                                              size_t m) {
    for (size_t n = from; n < m; ++n) {
        out[2 * n] = re[n];
        out[2 * n + 1] = im[n];
    }
}

// The real FFT's split step for bins k in [from, to] (1 <= from, to <= m/2): from the complex transform Z of
// the even and odd samples (re, im) to the packed spectrum. E and O, the transforms of the even and odd
// samples, come from Z[k] and conj(Z[m - k]); X[k] = E[k] + W^k·O[k] and X[m - k] = conj(E[k] - W^k·O[k]).
[[gnu::always_inline]] inline void fftSplitForwardBins(const double* re, const double* im, const double* wRe,
                                                       const double* wIm, double* out, size_t m, size_t from,
                                                       size_t to) {
    for (size_t k = from; k <= to; ++k) {
        const size_t mk = m - k;
        const double cr = re[mk], ci = -im[mk];
        const double er = 0.5 * (re[k] + cr), ei = 0.5 * (im[k] + ci);
        const double orr = 0.5 * (im[k] - ci), oi = -0.5 * (re[k] - cr);
        const double wr = wRe[k], wi = wIm[k];
        const double tr = wr * orr - wi * oi, ti = wr * oi + wi * orr;
        out[k] = er + tr;
        out[m + k] = ei + ti;
        if (mk != k) {
            out[mk] = er - tr;
            out[m + mk] = ti - ei;
        }
    }
}

// The split step backwards for bins k in [from, to], scaled by s, into Z.
[[gnu::always_inline]] inline void fftSplitInverseBins(const double* in, double s, const double* wRe,
                                                       const double* wIm, double* re, double* im, size_t m,
                                                       size_t from, size_t to) {
    for (size_t k = from; k <= to; ++k) {
        const size_t mk = m - k;
        const double ar = in[k], ai = in[m + k];
        const double cr = in[mk], ci = -in[m + mk];
        const double er = s * (ar + cr), ei = s * (ai + ci);
        const double dr = s * (ar - cr), di = s * (ai - ci);
        const double wr = wRe[k], wi = -wIm[k];
        const double orr = dr * wr - di * wi, oi = dr * wi + di * wr;
        re[k] = er - oi;
        im[k] = ei + orr;
        if (mk != k) {
            re[mk] = er + oi;
            im[mk] = orr - ei;
        }
    }
}

// Bins [from, m) of a sum of products of packed spectra (n = 2m doubles), from >= 1; bin 0 is
// spectrumProductsRealBins.
[[gnu::always_inline]] inline void spectrumProductsBins(const double* a, const double* b, size_t count,
                                                        size_t stride, double* out, size_t n, size_t from) {
    const size_t m = n / 2;
    for (size_t k = from; k < m; ++k) {
        double rr = 0.0, ii = 0.0, ri = 0.0, ir = 0.0;
        for (size_t j = 0; j < count; ++j) {
            const double* aj = a + j * stride;
            const double* bj = b + j * stride;
            rr += aj[k] * bj[k];
            ii += aj[m + k] * bj[m + k];
            ri += aj[k] * bj[m + k];
            ir += aj[m + k] * bj[k];
        }
        out[k] = rr - ii;
        out[m + k] = ri + ir;
    }
}

// The DC and Nyquist bins of a sum of products of packed spectra: both real, at [0] and [m].
[[gnu::always_inline]] inline void spectrumProductsRealBins(const double* a, const double* b, size_t count,
                                                            size_t stride, double* out, size_t n) {
    const size_t m = n / 2;
    double dc = 0.0, nyquist = 0.0;
    for (size_t j = 0; j < count; ++j) {
        dc += a[j * stride] * b[j * stride];
        nyquist += a[j * stride + m] * b[j * stride + m];
    }
    out[0] = dc;
    out[m] = nyquist;
}

// out[p] += sum over i < taps of h[i] × x[p + i], scalar, four outputs at a time for parallel chains.
[[gnu::always_inline]] inline void firAccumulate(const double* h, size_t taps, const double* x, double* out,
                                                 size_t count) {
    size_t p = 0;
    for (; p + 4 <= count; p += 4) {
        const double* xp = x + p;
        double s0 = 0.0, s1 = 0.0, s2 = 0.0, s3 = 0.0;
        for (size_t i = 0; i < taps; ++i) {
            const double hv = h[i];
            s0 += hv * xp[i];
            s1 += hv * xp[i + 1];
            s2 += hv * xp[i + 2];
            s3 += hv * xp[i + 3];
        }
        out[p] += s0;
        out[p + 1] += s1;
        out[p + 2] += s2;
        out[p + 3] += s3;
    }
    for (; p < count; ++p) {
        const double* xp = x + p;
        double s = 0.0;
        for (size_t i = 0; i < taps; ++i)
            s += h[i] * xp[i];
        out[p] += s;
    }
}

// firAccumulate for a symmetric h, mirrored taps folded, scalar: the pairs in order, then the middle tap.
[[gnu::always_inline]] inline void firAccumulateSymmetric(const double* h, size_t taps, const double* x,
                                                          double* out, size_t count) {
    const size_t pairs = taps / 2;
    for (size_t p = 0; p < count; ++p) {
        const double* xp = x + p;
        double s = 0.0;
        for (size_t i = 0; i < pairs; ++i)
            s += h[i] * (xp[i] + xp[taps - 1 - i]);
        if (taps % 2) s += h[pairs] * xp[pairs];
        out[p] += s;
    }
}

// One output pair of firInterpolateFolded, scalar, with the build's multiply-add (mulAdd(a, b, c) = c + a·b,
// fused or not): the pairs of each phase in order, then its middle tap halved on the doubled sample, as the
// vector loops take it.
template <class MulAdd>
[[gnu::always_inline]] inline void firInterpolateFoldedPair(const double* e, const double* o, size_t taps,
                                                            const double* x, double* out, MulAdd mulAdd) {
    const size_t ePairs = taps / 2, oPairs = (taps - 1) / 2;
    double even = 0.0, odd = 0.0;
    for (size_t i = 0; i < ePairs; ++i)
        even = mulAdd(e[i], x[i] + x[taps - 1 - i], even);
    // o's pairs are x[i] and x[taps - i] for 1 <= i <= oPairs.
    for (size_t i = 1; i <= oPairs; ++i)
        odd = mulAdd(o[i - 1], x[i] + x[taps - i], odd);
    if (taps % 2) even = mulAdd(0.5 * e[ePairs], x[ePairs] + x[ePairs], even);
    if ((taps - 1) % 2) odd = mulAdd(0.5 * o[oPairs], x[1 + oPairs] + x[1 + oPairs], odd);
    out[0] = even;
    out[1] = odd;
}

} // namespace qel::DspKernelLoops
