#include "Audio/Filters/FilterDesign.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace qel {

bool qelBiquadFromRaw(double b0, double b1, double b2, double a0, double a1, double a2, SBiquadSection& out) {
    const SBiquadSection section = {b0 / a0, b1 / a0, b2 / a0, a1 / a0, a2 / a0};
    if (!std::isfinite(section.b0) || !std::isfinite(section.b1) || !std::isfinite(section.b2) ||
        !std::isfinite(section.a1) || !std::isfinite(section.a2))
        return false;
    out = section;
    return true;
}

double qelBandwidthAlpha(double w0, double octaves) {
    const double s = std::sin(w0);
    return s * std::sinh(std::numbers::ln2 / 2.0 * octaves * w0 / s);
}

double qelOctaveWidth(double w0, double octaves) {
    return w0 * (std::exp2(octaves / 2.0) - std::exp2(-octaves / 2.0));
}

bool qelPeakingBilinear(double w0, double alpha, double gain, SBiquadSection& out) {
    const double A = std::sqrt(gain);
    const double c = std::cos(w0);
    return qelBiquadFromRaw(1.0 + alpha * A, -2.0 * c, 1.0 - alpha * A, 1.0 + alpha / A, -2.0 * c,
                            1.0 - alpha / A, out);
}

bool qelPeakingNyquistMatched(double w0, double width, double gain, SBiquadSection& out) {
    constexpr double pi = std::numbers::pi;
    if (!(w0 > 0.0 && w0 < pi) || !(width > 0.0) || !(gain > 0.0)) return false;
    if (std::abs(gain - 1.0) < 1e-12) {
        out = SBiquadSection::identity();
        return true;
    }
    // The band edges have the gain halfway in decibels; the reference (DC) gain is 1.
    const double G = gain;
    const double GB = std::sqrt(gain);
    // Keeps tan(width / 2) finite.
    const double dw = std::min(width, 0.95 * pi);
    const double F = std::abs(G * G - GB * GB);
    const double G00 = std::abs(G * G - 1.0);
    const double F00 = std::abs(GB * GB - 1.0);
    const double q = (w0 * w0 - pi * pi) * (w0 * w0 - pi * pi);
    const double edge = F00 * pi * pi * dw * dw / F;
    // The analogue prototype's gain at Nyquist.
    const double G1 = std::sqrt((q + G * G * edge) / (q + edge));
    const double G01 = std::abs(G * G - G1);
    const double G11 = std::abs(G * G - G1 * G1);
    const double F01 = std::abs(GB * GB - G1);
    const double F11 = std::abs(GB * GB - G1 * G1);
    const double t = std::tan(w0 / 2.0);
    const double W2 = std::sqrt(G11 / G00) * t * t;
    const double DW = (1.0 + std::sqrt(F00 / F11) * W2) * std::tan(dw / 2.0);
    const double C = F11 * DW * DW - 2.0 * W2 * (F01 - std::sqrt(F00 * F11));
    const double D = 2.0 * W2 * (G01 - std::sqrt(G00 * G11));
    const double A = std::sqrt((C + D) / F);
    const double B = std::sqrt((G * G * C + GB * GB * D) / F);
    return qelBiquadFromRaw(G1 + W2 + B, -2.0 * (G1 - W2), G1 - B + W2, 1.0 + W2 + A, -2.0 * (1.0 - W2),
                            1.0 + W2 - A, out);
}

} // namespace qel
