#pragma once

namespace qel {

// One second-order section, already divided by a0:
// H(z) = (b0 + b1 z^-1 + b2 z^-2) / (1 + a1 z^-1 + a2 z^-2). A first-order section has b2 = a2 = 0.
struct SBiquadSection {
    double b0 = 1.0;
    double b1 = 0.0;
    double b2 = 0.0;
    double a1 = 0.0;
    double a2 = 0.0;

    // The default section passes its input through unchanged.
    static SBiquadSection identity() { return {}; }
};

} // namespace qel
