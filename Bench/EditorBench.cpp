#include <benchmark/benchmark.h>

#include <chrono>

#include "Audio/CAudioWrapper.h"
#include "Audio/VST/CAudioWrapperVST.h"
#include "Core/CApplication.h"
#include "Core/Platform/CThreadPump.h"
#include "Other/CParamInterfaceClientConnectorUni.h"
#include "ProductStarted.h"
#include "UI/CWindowRenderer.h"

namespace {

using namespace qel;

intptr_t hostCallback(AEffect*, int32_t opcode, int32_t, intptr_t, void*, float) {
    return opcode == audioMasterVersion ? 2400 : 0;
}

// An instance with its editor's tree drawn offscreen on this thread, as the render timer draws it.
struct SEditor {
    AEffect* effect = nullptr;
    CObject* audioRoot = nullptr;
    CObject* ui = nullptr;
    CWindowRenderer* window = nullptr;
    CParamInterfaceClientConnectorUni* connector = nullptr;

    bool open(double scale, int32_t threads) {
        CAudioWrapper::setApplicationFactory(
            [](CObject*& application) { return CApplication::initRootObject(CString(), application); });
        effect = CAudioWrapperVST::createEffect(hostCallback);
        if (!effect) return false;
        audioRoot =
            static_cast<CAudioWrapperVST*>(static_cast<AudioEffect*>(effect->object))->applicationObject();
        if (CApplication::initRootObject(CString(), ui)) return false;
        ui->setAttrPointer("BaseConnectorRootPtr", &audioRoot);
        ui->setAttrBool("Offscreen", true);
        ui->setAttrDouble("VisualScale", scale);
        if (CError* error = ui->loadXMLData("UserInterface.xml", true)) {
            delete error;
            return false;
        }
        window = dynamic_cast<CWindowRenderer*>(ui->findObject("ui.main-window.window-renderer"));
        connector =
            dynamic_cast<CParamInterfaceClientConnectorUni*>(ui->findObject("ui.interface-client-connector"));
        // Threads drawing one frame: the user-interface thread and threads - 1 workers.
        CWindowRenderer::setProcessorCount(8);
        window->setAttrDouble("num-threads", threads / 8.0);
        deliver();
        return window && connector;
    }
    void deliver() {
        for (int round = 0; round < 3; ++round) {
            connector->poll();
            CThreadPump::current()->pump();
        }
    }
    // Open and drawn once, or the benchmark skipped.
    bool openFor(benchmark::State& state, double scale, int32_t threads) {
        if (!bench::productStarted() || !open(scale, threads)) {
            state.SkipWithError("editor failed");
            return false;
        }
        CBitmap picture;
        window->renderOffscreen(picture);
        return true;
    }
    ~SEditor() {
        if (ui) CApplication::releaseRootObject(ui);
        if (effect) effect->dispatcher(effect, effClose, 0, 0, nullptr, 0);
        CWindowRenderer::setProcessorCount(0);
    }
};

// The whole editor drawn: arguments are the scale in tenths and the threads drawing.
void BM_EditorFullRepaint(benchmark::State& state) {
    SEditor editor;
    if (!editor.openFor(state, double(state.range(0)) / 10, int32_t(state.range(1)))) return;
    CBitmap picture;
    for (auto _ : state)
        editor.window->renderOffscreen(picture);
    state.counters["fps"] = benchmark::Counter(1, benchmark::Counter::kIsIterationInvariantRate);
    state.counters["workers"] = editor.window->lastWorkerCount();
}
BENCHMARK(BM_EditorFullRepaint)
    ->ArgsProduct({{10, 20}, {1, 2, 8}})
    ->ArgNames({"scale10", "threads"})
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

// The host moves one parameter each frame: the message arrives, one read-out is drawn again.
void BM_EditorReadOutChange(benchmark::State& state) {
    SEditor editor;
    if (!editor.openFor(state, 1.0, 2)) return;
    int32_t step = 0;
    int64_t tiles = 0;
    for (auto _ : state) {
        editor.effect->setParameter(editor.effect, 10, float(++step % 2) * 0.5f + 0.2f);
        editor.deliver();
        editor.window->renderPass();
        tiles += editor.window->lastTilesDrawn();
    }
    state.counters["tiles"] = benchmark::Counter(double(tiles), benchmark::Counter::kAvgIterations);
    const int32_t tile = CSectorMap::kTileSize;
    state.counters["of"] = double((editor.window->deviceWidth() + tile - 1) / tile) *
                           double((editor.window->deviceHeight() + tile - 1) / tile);
}
BENCHMARK(BM_EditorReadOutChange)->UseRealTime()->Unit(benchmark::kMicrosecond);

// A frame of an open editor with nothing changing, and the percentage of one core it takes at 30
// frames a second ("core30pct").
void BM_EditorIdleFrame(benchmark::State& state) {
    SEditor editor;
    if (!editor.openFor(state, 1.0, 2)) return;
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        editor.deliver();
        editor.window->renderPass();
    }
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    state.counters["core30pct"] = elapsed.count() / double(state.iterations()) * 30 * 100;
}
BENCHMARK(BM_EditorIdleFrame)->UseRealTime()->Unit(benchmark::kMicrosecond);

} // namespace
