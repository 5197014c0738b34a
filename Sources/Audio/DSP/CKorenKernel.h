#pragma once

#include <cmath>
#include <cstddef>

namespace qel {

// The arithmetic of the Koren tube stage: a memoryless nonlinearity that, per sample, finds the grid voltage
// a triode needs for a plate voltage and plate current swinging with an analytic (x, y) input pair.
class CKorenKernel {
public:
    // Parameter slots of the tube stage, in slot order.
    enum ESlot : int {
        SlotMu,
        SlotX,
        SlotKG1,
        SlotKP,
        SlotKVB,
        SlotImin,
        SlotImax,
        SlotVbias,
        SlotVgain,
        SlotMult,
        SlotMode,
        SlotVoltage,
        SlotCurrent,
        SlotCount
    };

    // The thirteen slot values; the initial values are those used when a slot has no parameter attached
    // (the 12AT7 tube with mult 0.5, "Omni", both drives at 0.5).
    struct SSettings {
        double mu = 58.5;
        double x = 1.23;
        double kG1 = 659.0;
        double kP = 267.0;
        double kVB = 1849.0;
        double Imin = 0.5; // mA
        double Imax = 5.5; // mA
        double Vbias = 180.0;
        double Vgain = 1.0;
        double mult = 0.5;    // linear
        double mode = 0.0;    // 0 "Omni", 1 "Lvl.dep", before rounding
        double voltage = 0.5; // linear
        double current = 0.5; // linear

        double& slot(int index) { return this->*kSlotFields[index]; }
        double slot(int index) const { return this->*kSlotFields[index]; }

    private:
        static constexpr double SSettings::*kSlotFields[SlotCount] = {
            &SSettings::mu,   &SSettings::x,       &SSettings::kG1,    &SSettings::kP,    &SSettings::kVB,
            &SSettings::Imin, &SSettings::Imax,    &SSettings::Vbias,  &SSettings::Vgain, &SSettings::mult,
            &SSettings::mode, &SSettings::voltage, &SSettings::current};
    };

    // Everything the per-sample body reads: the tube constants and the derived values.
    struct SCoefficients {
        double kG1, kP, kVB, Vbias;
        double invKP, invX, invMu;
        double I0;     // bias plate current, A
        double Iswing; // 90 % of the half current range, A
        double Eg0;    // grid bias
        double vScale, iScale, outScale;
        int mode;
    };

    CKorenKernel() { update(SSettings{}); }

    // Stores the slot values and recomputes the derived values; call whenever a slot changed.
    void update(const SSettings& settings) {
        m_settings = settings;
        m_coefs = computeCoefficients(settings);
    }

    const SSettings& settings() const { return m_settings; }
    const SCoefficients& coefficients() const { return m_coefs; }

    // One output sample per input pair; y may alias x (quadrature port unlinked). Does not allocate.
    void process(const double* x, const double* y, double* out, size_t n) const;

    // The bodies below are inline and header-only so that a CPU-specific build of the block loop computes
    // bit-identical values, and so that Eg0 and the per-sample Eg come from the same operations: silence
    // must give exactly zero.

    // Grid voltage for plate voltage Vp and plate current Ip (A); the operation order is part of the result.
    [[gnu::always_inline]] static inline double inverseModel(const SCoefficients& c, double Vp, double Ip) {
        const double E1 = std::exp(std::log(Ip * c.kG1) * c.invX);
        const double t = std::exp(E1 * c.kP / Vp);
        const double u = std::log(t - 1.0);
        return std::sqrt(Vp * Vp + c.kVB) * (u * c.invKP - c.invMu);
    }

    [[gnu::always_inline]] static inline double processSample(const SCoefficients& c, double x, double y) {
        const double r = std::sqrt(x * x + y * y) + 1e-20; // never zero, so d is never zero
        const double d = (c.mode == 0 || r >= 1.0) ? r : 1.0;
        double Vp = c.vScale * x / d + c.Vbias;
        double Ip = c.iScale * y / d + c.I0;
        // Keep the logarithms of the model defined.
        if (Vp == 0.0) Vp = 1e-10;
        if (Ip <= 0.0) Ip = 1e-10;
        return d * c.outScale * (inverseModel(c, Vp, Ip) - c.Eg0);
    }

    [[gnu::always_inline]] static inline SCoefficients computeCoefficients(const SSettings& s) {
        SCoefficients c;
        c.kG1 = s.kG1;
        c.kP = s.kP;
        c.kVB = s.kVB;
        c.Vbias = s.Vbias;
        c.invKP = 1.0 / s.kP;
        c.invX = 1.0 / s.x;
        c.invMu = 1.0 / s.mu;
        c.I0 = (s.Imin + s.Imax) * 0.5 * 0.001;
        c.Iswing = (s.Imax - s.Imin) * 0.45 * 0.001;
        c.Eg0 = inverseModel(c, s.Vbias, c.I0);
        c.vScale = s.mu * s.Vgain * s.voltage;
        c.iScale = c.Iswing * s.current;
        c.outScale = -s.mult / s.Vgain / s.voltage;
        c.mode = roundMode(s.mode);
        return c;
    }

    // Nearest integer, halves away from zero.
    static int roundMode(double mode) { return static_cast<int>(std::round(mode)); }

private:
    SSettings m_settings;
    SCoefficients m_coefs;
};

} // namespace qel
