#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "Audio/Graph/CAudioProcess.h"
#include "Audio/Graph/CAudioProcessDefBase.h"
#include "Audio/Params/CAudioParamCollector.h"
#include "Audio/Processes/CModOutput.h"
#include "Core/CApplication.h"
#include "ProductStarted.h"

namespace {

using namespace qel;

constexpr double kRate = 48000.0;
constexpr uint32_t kBlock = 512;

// The real-time factor of one instance's whole signal path, stereo at 48 kHz: seconds of audio per
// second of processing, for the oversampling setting in the argument (1 = 1X ... 4 = 8X).
void BM_SignalPath(benchmark::State& state) {
    if (!bench::productStarted()) {
        state.SkipWithError("start-up failed");
        return;
    }
    CObject* root = nullptr;
    CObject* plugin = nullptr;
    CAudioParamCollector* collector = nullptr;
    CAudioProcessDefBase* mainDef = nullptr;
    CAudioProcessDefBase* outDef = nullptr;
    if (CApplication::initRootObject(CString(), root) ||
        root->createChild("plugin", "plugin", true, nullptr, plugin) ||
        root->findObjectChecked("plugin.param-collector", collector) ||
        root->findObjectChecked("shared::audio.modMain", mainDef) ||
        root->findObjectChecked("shared::audio.modOutput", outDef)) {
        state.SkipWithError("instance failed");
        return;
    }
    CAudioBlockPool pool;
    SAudioProcessEnv env;
    env.collector = collector;
    env.pool = &pool;
    {
        auto graph = std::make_unique<CAudioProcess>();
        std::unique_ptr<CModOutput> output(static_cast<CModOutput*>(outDef->createProcess().release()));
        if (graph->init(*mainDef, env, "plugin.modMain", nullptr, 0) ||
            output->init(*outDef, env, "plugin.modOutput", nullptr, 0)) {
            state.SkipWithError("graph failed");
            return;
        }
        graph->addDestination(0, output.get(), 0);
        const SAudioFormat format{kRate, kBlock, 2};
        graph->prepare(format);
        output->prepare(format);
        collector->getParam("plugin.modMain.oversampling")->setValue(0, 0, 0, double(state.range(0)));
        CAudioParamChangeList changes;
        // One second of the tone, made before timing: the path's cost, not the sine's.
        std::vector<double> tone(static_cast<size_t>(kRate));
        for (size_t i = 0; i < tone.size(); ++i)
            tone[i] = 0.5 * std::sin(2 * M_PI * 1000.0 * double(i) / kRate);
        size_t time = 0;
        auto block = [&] {
            collector->takePending(changes);
            changes.applyToAudio();
            graph->applyParamUpdates();
            for (int32_t c = 0; c < 2; ++c) {
                SAudioBlock* in = pool.take(kBlock);
                std::copy(tone.begin() + long(time), tone.begin() + long(time + kBlock), in->samples());
                graph->receive(0, c, in);
            }
            time = (time + kBlock) % (tone.size() - kBlock);
            graph->run();
            output->run();
            benchmark::DoNotOptimize(output->block(0)->samples()[0]);
        };
        for (int warm = 0; warm < 50; ++warm)
            block();
        for (auto _ : state)
            block();
        state.counters["realtime"] =
            benchmark::Counter(double(kBlock) / kRate, benchmark::Counter::kIsIterationInvariantRate);
    }
    CApplication::releaseRootObject(root);
}
BENCHMARK(BM_SignalPath)->DenseRange(1, 4)->Unit(benchmark::kMicrosecond);

} // namespace
