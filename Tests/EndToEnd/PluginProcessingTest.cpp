#include <algorithm>
#include <atomic>
#include <cfloat>
#include <chrono>
#include <cmath>
#include <random>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "EndToEnd/PluginHost.h"

namespace qel::test {
namespace {

using PluginProcessingTest = PluginTest;

struct SCounts {
    size_t nan = 0, inf = 0, subnormal = 0;
};

template <class T>
SCounts count(const std::vector<std::vector<T>>& channels) {
    SCounts counts;
    for (const auto& channel : channels)
        for (T v : channel) {
            counts.nan += std::isnan(v);
            counts.inf += std::isinf(v);
            counts.subnormal += std::fpclassify(v) == FP_SUBNORMAL;
        }
    return counts;
}

TEST_F(PluginProcessingTest, BypassDelaysByTheReportedLatency) {
    load();
    set("Bypass", "On");
    start(48000);
    ASSERT_EQ(host.latency(), 1913);
    std::mt19937 random(7);
    std::uniform_real_distribution<float> noise(-0.5f, 0.5f);
    std::vector<std::vector<float>> input(host.numInputs(), std::vector<float>(8192));
    for (auto& channel : input)
        for (float& v : channel)
            v = noise(random);
    const auto output = render(input, 1000);
    for (size_t c = 0; c < output.size(); ++c)
        for (size_t i = 1913; i < 8192; i += 97)
            ASSERT_FLOAT_EQ(output[c][i], input[c][i - 1913]) << c << " " << i;
}

TEST_F(PluginProcessingTest, NothingButFiniteNormalNumbersForHardSignalsAtEveryRate) {
    for (double rate : {44100.0, 48000.0, 96000.0, 192000.0}) {
        for (int signal = 0; signal < 3; ++signal) {
            SCOPED_TRACE(std::to_string(rate) + " signal " + std::to_string(signal));
            CVstPluginHost local;
            ASSERT_TRUE(local.load(EMBERLINE_PLUGIN_PATH)) << local.error();
            local.open();
            local.setSampleRate(rate);
            local.setBlockSize(512);
            local.mainsChanged(true);
            const size_t frames = size_t(rate / 2);
            std::vector<float> in(frames, 0.0f);
            std::mt19937 random(11);
            std::uniform_real_distribution<float> noise(-1.0f, 1.0f);
            if (signal == 1)
                for (float& v : in)
                    v = noise(random);
            if (signal == 2) in = sine(19000, 1.0, rate, frames);
            std::vector<std::vector<float>> output(size_t(local.numOutputs()), std::vector<float>(frames));
            std::vector<float*> ins(size_t(local.numInputs()), in.data()), outs;
            for (auto& channel : output)
                outs.push_back(channel.data());
            for (size_t t = 0; t < frames; t += 512) {
                const auto length = int32_t(std::min<size_t>(512, frames - t));
                std::vector<float*> i2, o2;
                for (float* p : ins)
                    i2.push_back(p + t);
                for (float* p : outs)
                    o2.push_back(p + t);
                local.processFloat(i2.data(), o2.data(), length);
            }
            const SCounts counts = count(output);
            EXPECT_EQ(counts.nan, 0u);
            EXPECT_EQ(counts.inf, 0u);
            EXPECT_EQ(counts.subnormal, 0u);
            local.close();
        }
    }
}

TEST_F(PluginProcessingTest, FloatAndDoubleCallsAlternateWithoutLosingState) {
    auto run = [&](bool alternate) {
        CVstPluginHost local;
        EXPECT_TRUE(local.load(EMBERLINE_PLUGIN_PATH));
        local.open();
        local.setSampleRate(48000);
        local.mainsChanged(true);
        const size_t frames = 6000;
        const std::vector<float> in = sine(440, 0.7, 48000, frames);
        std::vector<std::vector<double>> output(size_t(local.numOutputs()), std::vector<double>(frames));
        const int32_t channels = local.numInputs();
        size_t t = 0;
        for (int call = 0; t < frames; ++call) {
            const auto length = int32_t(std::min<size_t>(frames - t, size_t(300 + 37 * call)));
            if (alternate && call % 2) {
                std::vector<std::vector<double>> din(static_cast<size_t>(channels),
                                                     std::vector<double>(static_cast<size_t>(length)));
                std::vector<double*> ip, op;
                for (auto& channel : din) {
                    for (int32_t i = 0; i < length; ++i)
                        channel[size_t(i)] = in[t + size_t(i)];
                    ip.push_back(channel.data());
                }
                for (auto& channel : output)
                    op.push_back(channel.data() + t);
                local.processDouble(ip.data(), op.data(), length);
            } else {
                std::vector<std::vector<float>> fout(output.size(), std::vector<float>(size_t(length)));
                std::vector<float*> ip(size_t(channels), const_cast<float*>(in.data()) + t), op;
                for (auto& channel : fout)
                    op.push_back(channel.data());
                local.processFloat(ip.data(), op.data(), length);
                for (size_t c = 0; c < output.size(); ++c)
                    for (int32_t i = 0; i < length; ++i)
                        output[c][t + size_t(i)] = fout[c][size_t(i)];
            }
            t += size_t(length);
        }
        local.close();
        return output;
    };
    const auto reference = run(false);
    const auto alternating = run(true);
    for (size_t c = 0; c < reference.size(); ++c)
        for (size_t i = 0; i < reference[c].size(); ++i)
            ASSERT_NEAR(alternating[c][i], reference[c][i], 1e-6) << c << " " << i;
}

TEST_F(PluginProcessingTest, LatencyIsReportedAtResumeAndChangesAreAnnounced) {
    // 48 kHz: every oversampling setting has the same latency, so switching announces nothing.
    load();
    start(48000);
    EXPECT_EQ(host.latency(), 1913);
    std::vector<std::vector<float>> input(1, sine(1000, 0.5, 48000, 4096));
    render(input, 512);
    host.clearCallbackLog();
    set("Oversmp", "8X");
    render(input, 512);
    EXPECT_FALSE(host.ioChangedPending());
    host.close();

    // Above the latency table's rates the latency follows the setting.
    CVstPluginHost local;
    ASSERT_TRUE(local.load(EMBERLINE_PLUGIN_PATH));
    local.open();
    local.setSampleRate(400000);
    local.mainsChanged(true);
    const int32_t before = local.latency();
    std::vector<float> in = sine(1000, 0.5, 400000, 2048);
    std::vector<float> out(2048);
    std::vector<float*> ins(size_t(local.numInputs()), in.data());
    std::vector<std::vector<float>> outs(size_t(local.numOutputs()), out);
    std::vector<float*> outp;
    for (auto& channel : outs)
        outp.push_back(channel.data());
    local.processFloat(ins.data(), outp.data(), 2048);
    char text[64] = "2X";
    int32_t oversampling = -1;
    for (int32_t i = 0; i < local.numParams(); ++i)
        if (local.paramName(i) == "Oversmp") oversampling = i;
    local.vendorSpecific(27, oversampling, text, 0);
    local.setParameter(oversampling, std::stof(text));
    // The new path is built beside the audio thread and arrives some blocks later.
    for (int block = 0; block < 500 && !local.ioChangedPending(); ++block) {
        local.processFloat(ins.data(), outp.data(), 2048);
        if (!local.ioChangedPending()) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    EXPECT_TRUE(local.ioChangedPending());
    local.mainsChanged(false);
    local.mainsChanged(true);
    EXPECT_NE(local.latency(), before);
    local.processFloat(ins.data(), outp.data(), 2048);
    EXPECT_FALSE(local.ioChangedPending()) << "announced once";
    local.close();
}

// A host automating the oversampling every block while another of its threads moves every other
// parameter: the plug-in keeps up, its output stays clean and its latency stays where it was.
TEST_F(PluginProcessingTest, OversamplingAutomatedEveryBlockBesideOtherThreadsChanges) {
    load();
    start(48000, 256);
    const int32_t latency = host.latency();
    const int32_t oversampling = paramIndex("Oversmp");
    std::vector<float> settings;
    for (const char* text : {"1X", "2X", "8X", "4X", "Auto"})
        settings.push_back(normalizedOf("Oversmp", text));
    std::atomic<bool> done{false};
    std::thread others([&] {
        std::mt19937 random(5);
        std::uniform_real_distribution<float> unit(0.0f, 1.0f);
        while (!done)
            for (int32_t i = 0; i < host.numParams(); ++i)
                if (i != oversampling) host.setParameter(i, unit(random));
    });
    std::mt19937 random(6);
    std::normal_distribution<float> noise(0.0f, 0.25f);
    std::vector<std::vector<float>> in(size_t(host.numInputs()), std::vector<float>(256));
    std::vector<std::vector<float>> out(size_t(host.numOutputs()), std::vector<float>(256));
    std::vector<float*> ins, outs;
    for (auto& channel : in)
        ins.push_back(channel.data());
    for (auto& channel : out)
        outs.push_back(channel.data());
    for (int block = 0; block < 1500; ++block) {
        host.setParameter(oversampling, settings[size_t(block) % settings.size()]);
        // A stereo track: the other buffers stay silent.
        for (size_t c = 0; c < 2; ++c)
            for (float& x : in[c])
                x = noise(random);
        host.processFloat(ins.data(), outs.data(), 256);
        for (const auto& channel : out)
            for (float x : channel)
                ASSERT_TRUE(std::isfinite(x) && (x == 0.0f || std::fabs(x) >= FLT_MIN) && std::fabs(x) < 1e3f)
                    << "block " << block << ": " << x;
    }
    done = true;
    others.join();
    EXPECT_EQ(host.latency(), latency);
    EXPECT_FALSE(host.ioChangedPending());
}

// Eight buffers, as hosts that never set a speaker arrangement hand over for a stereo track: the silent
// channels go idle and give exact zeros, the others are untouched by that, and a channel that wakes
// sounds like a fresh instance fed the same signal.
TEST_F(PluginProcessingTest, SilentChannelsGoIdleAndWakeLikeAFreshInstance) {
    constexpr double kRate = 48000;
    constexpr int32_t kBlock = 512;
    constexpr size_t kWake = 188 * kBlock; // about 2 s
    constexpr size_t kFrames = kWake + 96000;
    std::mt19937 random(8);
    std::normal_distribution<double> noise(0.0, 0.25);
    std::vector<std::vector<double>> signal(8, std::vector<double>(kFrames));
    for (auto& channel : signal)
        for (double& x : channel)
            x = noise(random);
    std::vector<std::vector<double>> sparse(8, std::vector<double>(kFrames, 0.0));
    sparse[0] = signal[0];
    sparse[1] = signal[1];
    std::copy(signal[4].begin() + kWake, signal[4].end(), sparse[4].begin() + kWake);

    auto render = [&](const std::vector<std::vector<double>>& in, size_t from) {
        CVstPluginHost local;
        EXPECT_TRUE(local.load(EMBERLINE_PLUGIN_PATH));
        local.open();
        local.setSampleRate(float(kRate));
        local.setBlockSize(kBlock);
        local.mainsChanged(true);
        std::vector<std::vector<double>> out(8, std::vector<double>(kFrames - from));
        std::vector<double*> ins(8), outs(8);
        for (size_t t = from; t < kFrames; t += kBlock) {
            for (size_t c = 0; c < 8; ++c) {
                ins[c] = const_cast<double*>(in[c].data()) + t;
                outs[c] = out[c].data() + (t - from);
            }
            local.processDouble(ins.data(), outs.data(), int32_t(std::min<size_t>(kBlock, kFrames - t)));
        }
        const int32_t latency = local.latency();
        local.close();
        return std::make_pair(out, latency);
    };
    const auto [sparseOut, latency] = render(sparse, 0);
    const auto [fullOut, fullLatency] = render(signal, 0);
    const auto [freshOut, freshLatency] = render(sparse, kWake);

    for (size_t c = 0; c < 2; ++c)
        for (size_t i = 0; i < kFrames; ++i)
            ASSERT_EQ(sparseOut[c][i], fullOut[c][i]) << "channel " << c + 1 << " frame " << i;
    // Idle once the silence is longer than the latency and the settling of the filters.
    const size_t idle = size_t(latency) + size_t(0.2 * kRate) + kBlock;
    for (size_t c : {2, 3, 5, 6, 7})
        for (size_t i = idle; i < kFrames; ++i)
            ASSERT_EQ(sparseOut[c][i], 0.0) << "channel " << c + 1 << " frame " << i;
    for (size_t i = idle; i < kWake; ++i)
        ASSERT_EQ(sparseOut[4][i], 0.0) << "channel 5 before its signal, frame " << i;
    double worst = 0;
    for (size_t i = kWake; i < kFrames; ++i)
        worst = std::max(worst, std::fabs(sparseOut[4][i] - freshOut[4][i - kWake]));
    EXPECT_LT(worst, 1e-10) << "below -200 dBFS";
    EXPECT_GT(std::fabs(sparseOut[4][kFrames - 1]), 0.0);
}

} // namespace
} // namespace qel::test
