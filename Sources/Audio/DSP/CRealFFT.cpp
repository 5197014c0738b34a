#include "Audio/DSP/CRealFFT.h"

#include <cmath>
#include <numbers>

namespace qel {

CRealFFT::CRealFFT(size_t size, const SDspKernels& kernels) : m_kernels(&kernels) {
    setSize(size);
}

bool CRealFFT::setSize(size_t size) {
    if (!isValidSize(size)) {
        m_size = m_half = 0;
        return false;
    }
    if (size == m_size) return true;
    m_size = size;
    m_half = size / 2;
    const size_t m = m_half;

    m_bitReverse.assign(m, 0);
    // Each doubling of the table shifts the reversed indices up and sets the new low bit in the second half.
    for (size_t n = 1; n < m; n <<= 1)
        for (size_t i = 0; i < n; ++i) {
            m_bitReverse[i] <<= 1;
            m_bitReverse[i + n] = m_bitReverse[i] | 1;
        }

    // Each twiddle straight from the library cosine and sine: no error piles up along the table.
    m_passRe.assign(m, 0.0);
    m_passIm.assign(m, 0.0);
    for (size_t h = 1; h < m; h *= 2)
        for (size_t j = 0; j < h; ++j) {
            const double angle = std::numbers::pi * double(j) / double(h);
            m_passRe[h + j] = std::cos(angle);
            m_passIm[h + j] = -std::sin(angle);
        }
    m_splitRe.assign(m / 2 + 1, 0.0);
    m_splitIm.assign(m / 2 + 1, 0.0);
    for (size_t k = 0; k <= m / 2; ++k) {
        const double angle = 2.0 * std::numbers::pi * double(k) / double(size);
        m_splitRe[k] = std::cos(angle);
        m_splitIm[k] = -std::sin(angle);
    }
    m_re.assign(m, 0.0);
    m_im.assign(m, 0.0);
    m_zRe.assign(m, 0.0);
    m_zIm.assign(m, 0.0);
    return true;
}

void CRealFFT::forward(const double* in, double* out) {
    const size_t m = m_half;
    double* re = m_re.data();
    double* im = m_im.data();
    // Z = FFT of z[n] = x[2n] + i·x[2n+1], then the split step.
    m_kernels->fft(in, nullptr, m_bitReverse.data(), re, im, m, m_passRe.data(), m_passIm.data());
    out[0] = re[0] + im[0];
    out[m] = re[0] - im[0];
    if (m >= 2) m_kernels->fftSplitForward(re, im, m_splitRe.data(), m_splitIm.data(), out, m);
}

void CRealFFT::inverse(const double* in, double* out) {
    const size_t m = m_half;
    double* zRe = m_zRe.data();
    double* zIm = m_zIm.data();
    // Rebuild Z from X (the split step backwards), with the whole 1/N scaling folded in.
    const double s = 1.0 / double(m_size);
    zRe[0] = s * (in[0] + in[m]);
    zIm[0] = s * (in[0] - in[m]);
    if (m >= 2) m_kernels->fftSplitInverse(in, s, m_splitRe.data(), m_splitIm.data(), zRe, zIm, m);
    // The inverse complex transform is the forward one with real and imaginary parts exchanged.
    m_kernels->fft(zIm, zRe, m_bitReverse.data(), m_im.data(), m_re.data(), m, m_passRe.data(),
                   m_passIm.data());
    m_kernels->interleave(m_re.data(), m_im.data(), out, m);
}

} // namespace qel
