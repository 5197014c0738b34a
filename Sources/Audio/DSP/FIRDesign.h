#pragma once

#include <cstdint>
#include <vector>

namespace qel {

// Linear-phase FIR kernels. A kernel of half-width M has 2M + 1 taps for the indices -M..M, stored with
// index k at position M + k; its group delay is M samples.

// The modified Bessel function I0 by the Abramowitz-Stegun polynomials 9.8.1 (|x| < 3.75, absolute error
// below 1.6e-7) and 9.8.2 (|x| >= 3.75, error of sqrt|x| e^-|x| I0 below 1.9e-7).
double qelBesselI0(double x);

// The Blackman-windowed Hilbert transformer over +-D with D = rate * length / 2 (length in seconds, the
// whole kernel): antisymmetric, even taps exactly zero, a 90 degree phase lag over the band. False, with
// taps untouched, when the settings give no tap besides the centre or are not finite.
bool qelDesignHilbert(double rate, double length, std::vector<double>& taps, int32_t& delay);

// The Kaiser-windowed sinc low-pass with cutoff (Hz) at rate and half-width halfWidth (D, samples); beta
// is clamped to [1, 350] and a cutoff above half the rate to half the rate (a pure delay). False, with
// taps untouched, for a cutoff that is not positive or settings that are not finite.
bool qelDesignKaiserLowPass(double rate, double cutoff, double halfWidth, double beta,
                            std::vector<double>& taps, int32_t& delay);

// The low-pass half-width for a "length" in seconds at the design rate: rate * length samples (centre to
// end) rounded up to a multiple of 4. Every M then being a multiple of 4, a chain of up to three 2x
// stages (stage k contributing (M_up + M_down) / 2^k host samples) delays by whole host samples and
// every decimator keeps samples on the delayed input's own sample instants. 0 when length or rate is
// not positive.
double qelLowPassHalfWidth(double rate, double length);

} // namespace qel
