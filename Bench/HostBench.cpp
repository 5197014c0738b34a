#include <benchmark/benchmark.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "Audio/CAudioWrapper.h"
#include "Audio/VST/CAudioWrapperVST.h"
#include "Core/CApplication.h"
#include "ProductStarted.h"

namespace {

using namespace qel;

constexpr double kRate = 48000.0;
constexpr int32_t kBlock = 512;

intptr_t hostCallback(AEffect*, int32_t opcode, int32_t, intptr_t, void*, float) {
    return opcode == audioMasterVersion ? 2400 : 0;
}

// One instance as a host without speaker arrangements runs it on a stereo track: every one of the
// plug-in's buffers, two carrying noise, 512-frame blocks at 48 kHz, for the oversampling setting in
// the argument (1 = 1X ... 4 = 8X). "cores40" is the share of one core that 40 of them take.
void BM_HostShapedStereoTrack(benchmark::State& state) {
    if (!bench::productStarted()) {
        state.SkipWithError("start-up failed");
        return;
    }
    CAudioWrapper::setApplicationFactory(
        [](CObject*& application) { return CApplication::initRootObject(CString(), application); });
    AEffect* effect = CAudioWrapperVST::createEffect(hostCallback);
    if (!effect) {
        state.SkipWithError("instance failed");
        return;
    }
    auto& plugin = *static_cast<CAudioWrapperVST*>(static_cast<AudioEffect*>(effect->object));
    effect->dispatcher(effect, effSetSampleRate, 0, 0, nullptr, float(kRate));
    effect->dispatcher(effect, effSetBlockSize, 0, kBlock, nullptr, 0);
    const char* const settings[] = {"", "1X", "2X", "4X", "8X"};
    char text[64] = {};
    std::snprintf(text, sizeof text, "%s", settings[state.range(0)]);
    plugin.vendorSpecific(27, 1, text, 0);
    effect->setParameter(effect, 1, std::stof(text));
    effect->dispatcher(effect, effMainsChanged, 0, 1, nullptr, 0);

    std::vector<std::vector<float>> in(size_t(effect->numInputs), std::vector<float>(kBlock, 0.0f));
    std::vector<std::vector<float>> out(size_t(effect->numOutputs), std::vector<float>(kBlock));
    std::mt19937 random(1);
    std::normal_distribution<float> noise(0.0f, 0.25f);
    std::vector<std::vector<float>> source(2, std::vector<float>(size_t(kRate)));
    for (auto& channel : source)
        for (float& x : channel)
            x = noise(random);
    std::vector<float*> ins, outs;
    for (auto& channel : in)
        ins.push_back(channel.data());
    for (auto& channel : out)
        outs.push_back(channel.data());
    size_t position = 0;
    auto block = [&] {
        for (size_t c = 0; c < 2; ++c)
            ins[c] = source[c].data() + position;
        position = (position + kBlock) % (source[0].size() - kBlock);
        effect->processReplacing(effect, ins.data(), outs.data(), kBlock);
        benchmark::DoNotOptimize(outs[0][0]);
    };
    // Past the first second, when the silent buffers have gone idle: what a playing track costs.
    for (int warm = 0; warm < int(kRate) / kBlock + 10; ++warm)
        block();
    for (auto _ : state)
        block();
    state.counters["realtime"] =
        benchmark::Counter(double(kBlock) / kRate, benchmark::Counter::kIsIterationInvariantRate);
    // Per block: 40 blocks' CPU time over one block's duration, the share of a core 40 tracks take.
    state.counters["cores40"] =
        benchmark::Counter(double(kBlock) / kRate / 40,
                           benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    effect->dispatcher(effect, effMainsChanged, 0, 0, nullptr, 0);
    effect->dispatcher(effect, effClose, 0, 0, nullptr, 0);
    CAudioWrapper::setApplicationFactory(nullptr);
}
BENCHMARK(BM_HostShapedStereoTrack)->DenseRange(1, 4)->Unit(benchmark::kMicrosecond);

} // namespace
