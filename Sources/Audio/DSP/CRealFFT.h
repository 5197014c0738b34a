#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "Audio/DSP/CCpuDispatch.h"

namespace qel {

// Real-input FFT of a power-of-two size N >= 2, computed as a complex FFT of size N/2 on the even and odd
// samples followed by a split step.
//
// Packed spectrum (N doubles, m = N/2): the real parts of bins 0 .. m - 1 at [0, m), their imaginary parts
// at [m, 2m), except that the imaginary part of the real DC bin holds the real Nyquist bin: [0] DC, [m]
// Nyquist, [k] and [m + k] bin k. Real and imaginary parts apart let products of spectra run four bins per
// vector without shuffles. X[k] = sum x[n]·exp(-2πi·k·n/N), unscaled; the inverse includes the factor 1/N,
// so inverse(forward(x)) == x up to rounding.
//
// Twiddles, bit-reversal table and work space are made by setSize; the transforms never allocate. One
// instance must not be used by two threads at once (it has work space).
class CRealFFT {
public:
    explicit CRealFFT(const SDspKernels& kernels = CCpuDispatch::kernels()) : m_kernels(&kernels) {}
    explicit CRealFFT(size_t size, const SDspKernels& kernels = CCpuDispatch::kernels());

    static bool isValidSize(size_t size) { return size >= 2 && (size & (size - 1)) == 0 && size <= kMaxSize; }
    static constexpr size_t kMaxSize = size_t(1) << 30;

    // False (and size 0) for a size that is not a power of two >= 2.
    bool setSize(size_t size);
    size_t size() const { return m_size; }
    const SDspKernels& kernels() const { return *m_kernels; }

    // in: N samples, out: N doubles packed; in and out may be the same array.
    void forward(const double* in, double* out);
    // in: N doubles packed, out: N samples; in and out may be the same array.
    void inverse(const double* in, double* out);

    // out = sum over j < count of a_j × b_j, bin-wise, for packed spectra of this size spaced stride
    // doubles apart (a_j at a + j·stride); count >= 1, and out must not overlap the factors.
    void sumOfProducts(const double* a, const double* b, size_t count, size_t stride, double* out) const {
        m_kernels->spectrumProducts(a, b, count, stride, out, m_size);
    }

private:
    const SDspKernels* m_kernels;
    size_t m_size = 0;
    size_t m_half = 0; // size of the complex transform
    std::vector<uint32_t> m_bitReverse;
    // Twiddles of the complex passes: exp(-iπj/h) at [h + j] for the pass with half size h.
    std::vector<double> m_passRe, m_passIm;
    // exp(-2πik/N) for k = 0 .. N/4, used by the split step.
    std::vector<double> m_splitRe, m_splitIm;
    std::vector<double> m_re, m_im;
    // The inverse's complex spectrum before its transform.
    std::vector<double> m_zRe, m_zIm;
};

} // namespace qel
