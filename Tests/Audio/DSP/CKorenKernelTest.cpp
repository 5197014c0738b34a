#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <random>
#include <vector>

#include "Audio/DSP/CKorenKernel.h"
#include "Audio/DSP/SDspKernels.h"

namespace qel {
namespace {

using SSettings = CKorenKernel::SSettings;

struct TubeModel {
    const char* name;
    double slots[10]; // mu, x, kG1, kP, kVB, Imin, Imax, Vbias, Vgain, mult
};

const TubeModel kFactoryModels[] = {
    {"5842", {42.4, 2.21, 393.0, 629.0, 446.0, 0.0, 10.0, 80.0, 1.0, 0.8501586931874368}},
    {"12AT7", {58.5, 1.23, 659.0, 267.0, 1849.0, 0.5, 5.5, 180.0, 1.0, 0.6215842477525224}},
    {"6DJ8", {35.7, 1.35, 274.0, 305.0, 310.0, 0.5, 4.0, 150.0, 3.0, 0.9193904748039812}},
    {"12AX7", {100.0, 1.4, 1060.0, 600.0, 300.0, 0.0, 2.0, 160.0, 1.4, 0.8770008211436348}},
    {"12AX7A", {101.24, 1.267, 1002.9, 699.73, 300.0, 0.0, 2.0, 140.0, 1.1, 0.8288959162731061}},
    {"6550", {8.45, 1.247, 642.5, 48.92, 300.0, 0.0, 25.0, 56.0, 3.0, 0.580096172522704}},
    {"7250", {103.44, 1.245, 1515.4, 903.23, 99.2, 0.0, 4.0, 180.0, 1.3, 0.5895219770654915}},
};
const TubeModel& k12AT7 = kFactoryModels[1];
const double kMinus6dB = std::pow(10.0, -6.0 / 20.0);

SSettings settingsFor(const TubeModel& model, double mode, double drive = kMinus6dB) {
    SSettings s;
    for (int i = 0; i < 10; ++i)
        s.slot(i) = model.slots[i];
    s.mode = mode;
    s.voltage = drive;
    s.current = drive;
    return s;
}

CKorenKernel kernelFor(const SSettings& s) {
    CKorenKernel kernel;
    kernel.update(s);
    return kernel;
}

double runOne(const CKorenKernel& kernel, double x, double y) {
    double out = NAN;
    kernel.process(&x, &y, &out, 1);
    return out;
}

// Plate current from the forward Koren equation, written independently of the kernel.
double forwardIp(const SSettings& s, double Vp, double Eg) {
    const double E1 = Vp / s.kP * std::log1p(std::exp(s.kP * (1.0 / s.mu + Eg / std::sqrt(s.kVB + Vp * Vp))));
    return std::pow(E1, s.x) / s.kG1;
}

// Grid voltage for a plate current by bisection on the forward equation (Ip rises with Eg).
double solveEg(const SSettings& s, double Vp, double Ip) {
    double lo = -500.0, hi = 500.0;
    for (int i = 0; i < 200; ++i) {
        const double mid = 0.5 * (lo + hi);
        if (mid == lo || mid == hi) break;
        (forwardIp(s, Vp, mid) < Ip ? lo : hi) = mid;
    }
    return 0.5 * (lo + hi);
}

// Ratio of harmonic to fundamental energy over one period of a constant-envelope analytic pair.
double harmonicRatio(const CKorenKernel& kernel, double amplitude) {
    const size_t n = 256;
    std::vector<double> x(n), y(n), out(n);
    for (size_t i = 0; i < n; ++i) {
        x[i] = amplitude * std::cos(2.0 * M_PI * double(i) / double(n));
        y[i] = amplitude * std::sin(2.0 * M_PI * double(i) / double(n));
    }
    kernel.process(x.data(), y.data(), out.data(), n);
    double fundamental = 0.0, harmonics = 0.0;
    for (size_t k = 1; k < n / 2; ++k) {
        std::complex<double> bin;
        for (size_t i = 0; i < n; ++i)
            bin += out[i] * std::polar(1.0, -2.0 * M_PI * double(k * i) / double(n));
        (k == 1 ? fundamental : harmonics) += std::norm(bin);
    }
    return harmonics / fundamental;
}

// Outputs must be reproducible bit for bit by any build of the stage, so the order of operations is fixed:
// this is the stage written out step by step.
double literalStage(const SSettings& s, double x, double y) {
    auto inverse = [&](double Vp, double Ip) {
        const double E1 = std::exp(std::log(Ip * s.kG1) * (1.0 / s.x));
        const double t = std::exp(E1 * s.kP / Vp);
        const double u = std::log(t - 1.0);
        return std::sqrt(Vp * Vp + s.kVB) * (u * (1.0 / s.kP) - (1.0 / s.mu));
    };
    const double I0 = (s.Imin + s.Imax) * 0.5 * 0.001;
    const double Iswing = (s.Imax - s.Imin) * 0.45 * 0.001;
    const double Eg0 = inverse(s.Vbias, I0);
    const double r = std::sqrt(x * x + y * y) + 1e-20;
    const double d = (std::round(s.mode) == 0.0 || r >= 1.0) ? r : 1.0;
    double Vp = s.mu * s.Vgain * s.voltage * x / d + s.Vbias;
    double Ip = Iswing * s.current * y / d + I0;
    if (Vp == 0.0) Vp = 1e-10;
    if (Ip <= 0.0) Ip = 1e-10;
    return d * (-s.mult / s.Vgain / s.voltage) * (inverse(Vp, Ip) - Eg0);
}

TEST(CKorenKernelTest, UnattachedSlotsAreThe12AT7AtHalfDrive) {
    const SSettings s;
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(s.slot(i), k12AT7.slots[i]) << "slot " << i;
    EXPECT_EQ(s.slot(CKorenKernel::SlotMult), 0.5);
    EXPECT_EQ(s.slot(CKorenKernel::SlotMode), 0.0);
    EXPECT_EQ(s.slot(CKorenKernel::SlotVoltage), 0.5);
    EXPECT_EQ(s.slot(CKorenKernel::SlotCurrent), 0.5);

    SSettings written;
    for (int i = 0; i < CKorenKernel::SlotCount; ++i)
        written.slot(i) = 100.0 + i;
    EXPECT_EQ(written.mu, 100.0);
    EXPECT_EQ(written.Vbias, 107.0);
    EXPECT_EQ(written.current, 112.0);

    // A fresh kernel already runs with these values.
    EXPECT_EQ(runOne(CKorenKernel(), 0.3, -0.2), runOne(kernelFor(s), 0.3, -0.2));
}

TEST(CKorenKernelTest, SilenceGivesExactlyZero) {
    for (const TubeModel& model : kFactoryModels)
        for (double mode : {0.0, 1.0})
            for (double drive : {0.25, kMinus6dB, 1.0}) {
                SCOPED_TRACE(testing::Message() << model.name << " mode " << mode << " drive " << drive);
                const std::vector<double> zeros(32, 0.0);
                std::vector<double> out(32, NAN);
                kernelFor(settingsFor(model, mode, drive))
                    .process(zeros.data(), zeros.data(), out.data(), 32);
                for (double v : out)
                    ASSERT_EQ(v, 0.0);
            }
}

TEST(CKorenKernelTest, QuadratureMayBeTheInPhaseBlock) {
    const CKorenKernel kernel = kernelFor(settingsFor(k12AT7, 1.0));
    std::vector<double> x(64), copy, shared(64), separate(64);
    for (size_t i = 0; i < x.size(); ++i)
        x[i] = 1.5 * std::sin(0.37 * double(i));
    copy = x;
    kernel.process(x.data(), x.data(), shared.data(), x.size());
    kernel.process(x.data(), copy.data(), separate.data(), x.size());
    EXPECT_EQ(shared, separate);
    for (double v : shared)
        EXPECT_TRUE(std::isfinite(v));
    // The current swing follows x: the small-signal gain is gx + gy.
    const double gain = runOne(kernel, 1e-4, 1e-4) / 1e-4;
    EXPECT_NEAR(gain, 0.664 - 0.734, 0.003);
}

TEST(CKorenKernelTest, SmallSignalsAreRotatedAtUnityGain) {
    {
        SCOPED_TRACE("12AT7");
        const CKorenKernel kernel = kernelFor(settingsFor(k12AT7, 1.0));
        const double gx = runOne(kernel, 1e-4, 0.0) / 1e-4;
        const double gy = runOne(kernel, 0.0, 1e-4) / 1e-4;
        EXPECT_NEAR(gx, 0.664, 0.001);
        EXPECT_NEAR(gy, -0.734, 0.001);
        // Linear in both inputs at this level.
        EXPECT_NEAR(runOne(kernel, 3e-5, -7e-5), gx * 3e-5 + gy * -7e-5, 1e-8);
        EXPECT_NEAR(runOne(kernel, -1e-4, 0.0), -gx * 1e-4, 1e-8);
    }
    for (const TubeModel& model : kFactoryModels) {
        SCOPED_TRACE(model.name);
        const CKorenKernel kernel = kernelFor(settingsFor(model, 1.0));
        const double gx = runOne(kernel, 1e-4, 0.0) / 1e-4;
        const double gy = runOne(kernel, 0.0, 1e-4) / 1e-4;
        EXPECT_GT(gx, 0.0);
        EXPECT_LT(gy, 0.0);
        EXPECT_NEAR(std::hypot(gx, gy), 1.0, 0.012);
    }
}

TEST(CKorenKernelTest, CurrentBelowCutoffSaturatesWithoutNaN) {
    // A current drive beyond the parameter range pushes the plate current below zero for y < -2/3.
    SSettings s = settingsFor(k12AT7, 1.0);
    s.current = 2.0;
    const CKorenKernel kernel = kernelFor(s);
    const double cutoff = -kernel.coefficients().I0 / kernel.coefficients().iScale;
    ASSERT_GT(cutoff, -0.99);

    double previous = runOne(kernel, 0.0, 0.0);
    const double clamped = runOne(kernel, 0.0, -0.99);
    ASSERT_TRUE(std::isfinite(clamped));
    for (double y = -0.001; y > -0.99; y -= 0.001) {
        const double v = runOne(kernel, 0.0, y);
        ASSERT_TRUE(std::isfinite(v)) << y;
        EXPECT_GE(v, previous) << y; // monotone towards the cut-off level
        if (y < cutoff) {
            EXPECT_EQ(v, clamped) << y;
        }
        previous = v;
    }
    // Beyond unit magnitude the excursion is normalised and only the level is restored.
    const double atUnit = runOne(kernel, 0.0, -1.0);
    EXPECT_NEAR(runOne(kernel, 0.0, -1e6), 1e6 * atUnit, 1e-12 * std::abs(1e6 * atUnit));

    std::mt19937 rng(7);
    std::normal_distribution<double> noise(0.0, 1e3);
    for (int i = 0; i < 1000; ++i)
        ASSERT_TRUE(std::isfinite(runOne(kernel, noise(rng), noise(rng))));
}

TEST(CKorenKernelTest, ModeRoundsHalfAwayFromZero) {
    EXPECT_EQ(CKorenKernel::roundMode(0.49), 0);
    EXPECT_EQ(CKorenKernel::roundMode(0.5), 1);
    EXPECT_EQ(CKorenKernel::roundMode(1.49), 1);
    EXPECT_EQ(CKorenKernel::roundMode(-0.5), -1);
    EXPECT_EQ(kernelFor(settingsFor(k12AT7, 0.49)).coefficients().mode, 0);
    EXPECT_EQ(kernelFor(settingsFor(k12AT7, 0.5)).coefficients().mode, 1);

    // At a level below one the two modes differ, and each rounded value behaves as its mode.
    const double omni = runOne(kernelFor(settingsFor(k12AT7, 0.0)), 0.1, 0.05);
    const double lvlDep = runOne(kernelFor(settingsFor(k12AT7, 1.0)), 0.1, 0.05);
    EXPECT_NE(omni, lvlDep);
    EXPECT_EQ(runOne(kernelFor(settingsFor(k12AT7, 0.49)), 0.1, 0.05), omni);
    EXPECT_EQ(runOne(kernelFor(settingsFor(k12AT7, 0.5)), 0.1, 0.05), lvlDep);
}

TEST(CKorenKernelTest, HarmonicContentAndLevel) {
    const CKorenKernel omni = kernelFor(settingsFor(k12AT7, 0.0));
    const CKorenKernel lvlDep = kernelFor(settingsFor(k12AT7, 1.0));
    const double unitRatio = harmonicRatio(omni, 1.0);
    EXPECT_GT(unitRatio, 1e-6) << "the tube adds harmonics";

    // Omni: the output at level a is a times the output at level 1.
    const size_t n = 128;
    std::vector<double> x(n), y(n), unit(n), scaled(n);
    for (size_t i = 0; i < n; ++i) {
        x[i] = std::cos(0.3 * double(i));
        y[i] = std::sin(0.3 * double(i));
    }
    omni.process(x.data(), y.data(), unit.data(), n);
    for (double a : {1e-4, 0.01, 0.5, 3.0, 100.0}) {
        SCOPED_TRACE(a);
        std::vector<double> xa(n), ya(n);
        for (size_t i = 0; i < n; ++i) {
            xa[i] = a * x[i];
            ya[i] = a * y[i];
        }
        omni.process(xa.data(), ya.data(), scaled.data(), n);
        for (size_t i = 0; i < n; ++i)
            ASSERT_NEAR(scaled[i], a * unit[i], 1e-12 * a);
        EXPECT_NEAR(harmonicRatio(omni, a), unitRatio, 1e-9 * unitRatio);
    }

    // Lvl.dep: harmonics grow with level up to unit magnitude, then stay as at unit magnitude.
    EXPECT_NEAR(harmonicRatio(lvlDep, 1.0), unitRatio, 1e-9 * unitRatio);
    EXPECT_LT(harmonicRatio(lvlDep, 0.01), harmonicRatio(lvlDep, 0.1));
    EXPECT_LT(harmonicRatio(lvlDep, 0.1), 0.5 * unitRatio);
    EXPECT_NEAR(harmonicRatio(lvlDep, 4.0), unitRatio, 1e-9 * unitRatio);
}

TEST(CKorenKernelTest, AgreesWithTheForwardKorenEquation) {
    std::mt19937 rng(42);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    for (const TubeModel& model : kFactoryModels) {
        SCOPED_TRACE(model.name);
        const SSettings s = settingsFor(model, 0.0);
        const CKorenKernel::SCoefficients c = kernelFor(s).coefficients();

        // The inverse model returns a grid voltage at which the forward equation conducts the asked current.
        for (double vp : {0.3, 0.7, 1.0, 1.6})
            for (double ip : {0.02, 0.3, 0.5, 0.9, 1.0}) {
                const double Vp = vp * s.Vbias;
                const double Ip = (s.Imin + ip * (s.Imax - s.Imin) + 1e-4) * 0.001;
                const double Eg = CKorenKernel::inverseModel(c, Vp, Ip);
                EXPECT_NEAR(forwardIp(s, Vp, Eg), Ip, 1e-10 * Ip) << "Vp " << Vp << " Ip " << Ip;
            }

        // The kernel's output against the same stage built on a numerical solve of the forward equation.
        for (double mode : {0.0, 1.0}) {
            SSettings drive = settingsFor(model, mode, 0.25 + 0.75 * unit(rng));
            drive.current = 0.25 + 0.75 * unit(rng);
            const CKorenKernel kernel = kernelFor(drive);
            const double I0 = (drive.Imin + drive.Imax) / 2000.0;
            const double Eg0 = solveEg(drive, drive.Vbias, I0);
            for (int i = 0; i < 50; ++i) {
                const double x = 3.0 * (unit(rng) - 0.5), y = 3.0 * (unit(rng) - 0.5);
                const double r = std::hypot(x, y);
                const double d = (mode == 0.0 || r >= 1.0) ? r : 1.0;
                const double Vp = drive.mu * drive.Vgain * drive.voltage * x / d + drive.Vbias;
                const double Ip = (drive.Imax - drive.Imin) * 0.00045 * drive.current * y / d + I0;
                const double expected =
                    -d * drive.mult / (drive.Vgain * drive.voltage) * (solveEg(drive, Vp, Ip) - Eg0);
                EXPECT_NEAR(runOne(kernel, x, y), expected, 1e-9 * std::max(1.0, d)) << x << ", " << y;
            }
        }
    }
}

TEST(CKorenKernelTest, OperationOrderIsFixed) {
    std::mt19937 rng(3);
    std::uniform_real_distribution<double> level(-2.0, 2.0), drive(0.25, 1.0);
    const size_t n = 200;
    std::vector<double> x(n), y(n), out(n);
    for (const TubeModel& model : kFactoryModels)
        for (double mode : {0.0, 1.0}) {
            SCOPED_TRACE(testing::Message() << model.name << " mode " << mode);
            SSettings s = settingsFor(model, mode, drive(rng));
            s.current = drive(rng);
            for (size_t i = 0; i < n; ++i) {
                x[i] = level(rng) * std::pow(10.0, level(rng));
                y[i] = level(rng) * std::pow(10.0, level(rng));
            }
            // The generic build: the fast one may differ by the rounding of vector exp/log.
            SDspKernels::generic().korenProcess(kernelFor(s).coefficients(), x.data(), y.data(), out.data(),
                                                n);
            for (size_t i = 0; i < n; ++i)
                ASSERT_EQ(out[i], literalStage(s, x[i], y[i])) << x[i] << ", " << y[i];
        }
}

} // namespace
} // namespace qel
