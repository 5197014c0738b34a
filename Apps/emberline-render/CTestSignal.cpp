#include "CTestSignal.h"

#include <cmath>
#include <cstdio>
#include <numbers>
#include <random>

namespace qel {

namespace {

SAudioData silence(double rate, int32_t channels, double seconds) {
    SAudioData audio;
    audio.rate = rate;
    audio.channels.assign(size_t(channels), std::vector<double>(size_t(std::llround(seconds * rate)), 0.0));
    return audio;
}

std::string describe(const char* what, double rate, double seconds) {
    char text[96];
    std::snprintf(text, sizeof text, "%s, %.3g s at %.0f Hz", what, seconds, rate);
    return text;
}

} // namespace

SSignal CTestSignal::impulse(double rate, int32_t channels, double seconds) {
    SSignal signal{silence(rate, channels, seconds), describe("unit impulse", rate, seconds), std::nullopt};
    for (auto& channel : signal.audio.channels)
        if (!channel.empty()) channel[0] = 1.0;
    return signal;
}

SSignal CTestSignal::sine(double rate, int32_t channels, double seconds, double frequency, double dbfs) {
    char what[64];
    std::snprintf(what, sizeof what, "sine %g Hz %g dBFS", frequency, dbfs);
    SSignal signal{silence(rate, channels, seconds), describe(what, rate, seconds), std::nullopt};
    double amplitude = std::pow(10.0, dbfs / 20);
    double step = 2 * std::numbers::pi * frequency / rate;
    for (auto& channel : signal.audio.channels)
        for (size_t i = 0; i < channel.size(); ++i)
            channel[i] = amplitude * std::sin(step * double(i));
    signal.tone = STestTone{frequency, 0, signal.audio.frames()};
    return signal;
}

SSignal CTestSignal::noise(double rate, int32_t channels, double seconds, double dbfs) {
    char what[64];
    std::snprintf(what, sizeof what, "white noise %g dBFS RMS", dbfs);
    SSignal signal{silence(rate, channels, seconds), describe(what, rate, seconds), std::nullopt};
    double level = std::pow(10.0, dbfs / 20);
    std::mt19937_64 random(0x456d6265726c696eULL);
    // Box-Muller on the raw generator output, so the samples do not depend on the library.
    auto uniform = [&] { return (double(random() >> 11) + 0.5) / 9007199254740992.0; };
    for (auto& channel : signal.audio.channels) {
        for (size_t i = 0; i < channel.size(); ++i) {
            double radius = std::sqrt(-2 * std::log(uniform()));
            channel[i] = level * radius * std::cos(2 * std::numbers::pi * uniform());
        }
    }
    return signal;
}

} // namespace qel
