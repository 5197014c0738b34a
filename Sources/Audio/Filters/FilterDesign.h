#pragma once

#include "Audio/DSP/SBiquadSection.h"

namespace qel {

// Divides the raw coefficients by a0; false when the result is not finite (the caller then appends
// nothing, so a degenerate setting passes the signal through instead of producing NaN).
bool qelBiquadFromRaw(double b0, double b1, double b2, double a0, double a1, double a2, SBiquadSection& out);

// The cookbook alpha of a bandwidth in octaves at w0 (radians per sample).
double qelBandwidthAlpha(double w0, double octaves);

// The distance in radians between two frequencies octaves apart with w0 at their geometric centre.
double qelOctaveWidth(double w0, double octaves);

// The cookbook peaking section (bilinear transform): gain at w0, unity at DC and at Nyquist.
bool qelPeakingBilinear(double w0, double alpha, double gain, SBiquadSection& out);

// A peaking section whose response at Nyquist matches the analogue prototype's (Orfanidis' design), so
// a peak close to Nyquist keeps its shape: gain at w0, unity at DC, and gain sqrt(gain) at two band
// edges width radians apart. A gain of 1 gives a pass-through section.
bool qelPeakingNyquistMatched(double w0, double width, double gain, SBiquadSection& out);

} // namespace qel
