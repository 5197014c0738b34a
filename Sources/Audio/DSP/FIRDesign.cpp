#include "Audio/DSP/FIRDesign.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace qel {

namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kMinBeta = 1.0;
constexpr double kMaxBeta = 350.0;
// Half-widths are kept well inside int32_t and memory; 0.5 s at 384 kHz is 96000.
constexpr double kMaxHalfWidth = 1 << 24;
// Absorbs the rounding of rate * length (44100 * 0.008 is not exactly 352.8) before rounding up.
constexpr double kRoundingSlack = 1e-9;

} // namespace

double qelBesselI0(double x) {
    const double ax = std::fabs(x);
    if (ax < 3.75) {
        const double t = x / 3.75;
        const double t2 = t * t;
        return 1.0 + t2 * (3.5156229 +
                           t2 * (3.0899424 +
                                 t2 * (1.2067492 + t2 * (0.2659732 + t2 * (0.0360768 + t2 * 0.0045813)))));
    }
    const double t = 3.75 / ax;
    const double poly =
        0.39894228 +
        t * (0.01328592 +
             t * (0.00225319 +
                  t * (-0.00157565 +
                       t * (0.00916281 +
                            t * (-0.02057706 + t * (0.02635537 + t * (-0.01647633 + t * 0.00392377)))))));
    return std::exp(ax) / std::sqrt(ax) * poly;
}

bool qelDesignHilbert(double rate, double length, std::vector<double>& taps, int32_t& delay) {
    const double D = rate * 0.5 * length;
    if (!std::isfinite(D) || !(D >= 1.0) || D > kMaxHalfWidth) return false;
    const int32_t M = int32_t(std::floor(D));
    taps.assign(size_t(2 * M + 1), 0.0);
    // cos(pi k / D) and cos(2 pi k / D) for the window, each by its two-term recurrence.
    const double c1 = std::cos(kPi / D);
    const double c2 = std::cos(2.0 * kPi / D);
    double cos1Prev = 1.0, cos1 = c1;
    double cos2Prev = 1.0, cos2 = c2;
    for (int32_t k = 1; k <= M; ++k) {
        if (k % 2 == 1) {
            const double w = 0.42 + 0.5 * cos1 + 0.08 * cos2;
            const double h = w * 2.0 / (double(k) * kPi);
            taps[size_t(M + k)] = h;
            taps[size_t(M - k)] = -h;
        }
        const double cos1Next = 2.0 * c1 * cos1 - cos1Prev;
        cos1Prev = cos1;
        cos1 = cos1Next;
        const double cos2Next = 2.0 * c2 * cos2 - cos2Prev;
        cos2Prev = cos2;
        cos2 = cos2Next;
    }
    delay = M;
    return true;
}

bool qelDesignKaiserLowPass(double rate, double cutoff, double halfWidth, double beta,
                            std::vector<double>& taps, int32_t& delay) {
    const double D = halfWidth;
    if (!(rate > 0.0) || !(cutoff > 0.0) || !std::isfinite(rate) || !std::isfinite(cutoff) || !(D >= 0.0) ||
        D > kMaxHalfWidth || std::isnan(beta))
        return false;
    beta = std::clamp(beta, kMinBeta, kMaxBeta);
    const int32_t M = int32_t(std::floor(D));
    const double omega = 2.0 * kPi * std::min(cutoff, rate / 2.0) / rate;
    const double i0Beta = qelBesselI0(beta);
    auto window = [&](int32_t k) {
        const double r = double(k) / D;
        const double arg = 1.0 - r * r;
        return arg < 0.0 ? 0.0 : qelBesselI0(beta * std::sqrt(arg)) / i0Beta;
    };
    taps.resize(size_t(2 * M + 1));
    taps[size_t(M)] = omega / kPi * window(0);
    const double twoCos = 2.0 * std::cos(omega);
    double sinPrev = 0.0, sin = std::sin(omega);
    for (int32_t k = 1; k <= M; ++k) {
        const double h = sin * window(k) / (double(k) * kPi);
        taps[size_t(M + k)] = h;
        taps[size_t(M - k)] = h;
        const double sinNext = twoCos * sin - sinPrev;
        sinPrev = sin;
        sin = sinNext;
    }
    delay = M;
    return true;
}

double qelLowPassHalfWidth(double rate, double length) {
    const double samples = rate * length;
    if (!(samples > 0.0) || !std::isfinite(samples)) return 0.0;
    return 4.0 * std::ceil(samples / 4.0 - kRoundingSlack);
}

} // namespace qel
