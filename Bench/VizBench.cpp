// What the level meters cost the audio thread while an editor shows them.
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "Audio/CAudioVizCollector.h"
#include "Core/CWriteSeqBuffer.h"

namespace {

using qel::CAudioVizCollector;

void BM_VizMeters(benchmark::State& state) {
    const int32_t channels = int32_t(state.range(0));
    constexpr uint32_t kFrames = 512;
    constexpr double kRate = 48000.0;
    CAudioVizCollector collector;
    collector.prepare(channels, channels, kRate);
    const bool listening = state.range(1) != 0;
    if (listening) {
        benchmark::DoNotOptimize(collector.listen(CAudioVizCollector::kAnySlot, "input-meter", 1));
        benchmark::DoNotOptimize(collector.listen(CAudioVizCollector::kAnySlot, "output-meter", 2));
    }
    std::vector<double> samples(kFrames);
    for (uint32_t i = 0; i < kFrames; ++i)
        samples[i] = 0.5 * std::sin(2.0 * M_PI * 1000.0 * i / kRate);
    double time = 0;
    int64_t blocks = 0;
    for (auto _ : state) {
        for (int32_t c = 0; c < channels; ++c) {
            collector.meterInput(c, samples.data(), kFrames);
            collector.meterOutput(c, samples.data(), kFrames);
        }
        time += kFrames / kRate;
        collector.endSubBlock(time, kFrames);
        // The editor takes the records about 30 times a second.
        if (++blocks % 3 == 0) {
            state.PauseTiming();
            qel::CWriteSeqBuffer message;
            benchmark::DoNotOptimize(collector.writeVizData(message));
            state.ResumeTiming();
        }
    }
    state.SetItemsProcessed(state.iterations() * kFrames * channels);
}

} // namespace

BENCHMARK(BM_VizMeters)->ArgsProduct({{2, 8}, {0, 1}})->Unit(benchmark::kNanosecond);
