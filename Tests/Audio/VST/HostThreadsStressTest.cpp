#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <latch>
#include <map>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "Audio/CAudioWrapper.h"
#include "Audio/Params/CAudioExtParam.h"
#include "Audio/Params/CAudioExtParamList.h"
#include "Audio/Params/CAudioParamRegistry.h"
#include "Audio/ProductStartup.h"
#include "Audio/VST/CAudioWrapperVST.h"
#include "Core/CApplication.h"
#include "Core/Platform/CThreadPump.h"
#include "Other/CAudioInterfaceClient.h"
#include "Other/CParamInterfaceClientConnectorUni.h"
#include "ResourceEmbedder/EmbeddedResources.h"
#include "Support/ErrorText.h"
#include "Support/HangWatchdog.h"
#include "Support/Noise.h"

namespace qel::test {
namespace {

using CCall = CHangWatchdog::CCall;
using CThread = CHangWatchdog::CThread;

constexpr double kDefaultSeconds = 10.0;
// A hang detector, not a timing target: no single call of a healthy optimised instance comes near it.
// Unoptimised sanitizer builds spend 0.6 s of a core on a 4096-frame block that switches the
// oversampling, which a loaded machine stretches towards 2 s.
#ifdef __OPTIMIZE__
constexpr std::chrono::milliseconds kHangLimit{2000};
#else
constexpr std::chrono::milliseconds kHangLimit{10000};
#endif
constexpr int32_t kMaxFrames = 4096;
constexpr int32_t kChannels = 2;

// EMBERLINE_STRESS_SECONDS shortens or lengthens the run.
double runSeconds() {
    const char* text = std::getenv("EMBERLINE_STRESS_SECONDS");
    const double seconds = text ? std::atof(text) : 0.0;
    return seconds > 0.0 ? seconds : kDefaultSeconds;
}

// A host that answers from any thread without a lock of its own, so that it orders nothing between
// the threads that the plug-in does not order itself.
struct SLockFreeHost {
    static std::array<std::atomic<uint64_t>, 64>& counts() {
        static std::array<std::atomic<uint64_t>, 64> calls;
        return calls;
    }
    static uint64_t count(int32_t opcode) { return counts()[size_t(opcode)].load(std::memory_order_relaxed); }
    static intptr_t callback(AEffect*, int32_t opcode, int32_t, intptr_t, void*, float) {
        if (opcode >= 0 && opcode < 64) counts()[size_t(opcode)].fetch_add(1, std::memory_order_relaxed);
        switch (opcode) {
        case audioMasterVersion:
            return 2400;
        case audioMasterGetCurrentProcessLevel:
            return kVstProcessLevelRealtime;
        default:
            return 0;
        }
    }
};

// Output samples start as this NaN: one that is still there was never written.
template <class T>
T unwrittenMark() {
    return sizeof(T) == sizeof(double) ? T(std::nan("0x5ee")) : T(std::nanf("0x5ee"));
}

// What a thread found wrong; read after it was joined.
struct SFindings {
    size_t count = 0;
    std::vector<std::string> first;
    void add(std::string problem) {
        if (count++ < 8) first.push_back(std::move(problem));
    }
};

// Every sample must be finite and not subnormal.
template <class T>
void checkOutput(const T* samples, int32_t frames, const std::string& where, SFindings& findings) {
    const T mark = unwrittenMark<T>();
    for (int32_t i = 0; i < frames; ++i) {
        const int kind = std::fpclassify(samples[i]);
        if (kind != FP_NAN && kind != FP_INFINITE && kind != FP_SUBNORMAL) continue;
        if (findings.count >= 8) {
            ++findings.count;
            continue;
        }
        char value[64];
        if (std::memcmp(&samples[i], &mark, sizeof mark) == 0)
            std::snprintf(value, sizeof value, "never written");
        else
            std::snprintf(value, sizeof value, "%s%g", kind == FP_SUBNORMAL ? "subnormal " : "",
                          double(samples[i]));
        findings.add(where + " frame " + std::to_string(i) + ": " + value);
    }
}

std::string describe(const char* thread, const SFindings& findings) {
    std::string text = std::string(thread) + ": " + std::to_string(findings.count) + " problem(s)";
    for (const std::string& problem : findings.first)
        text += "\n  " + problem;
    return text;
}

// The host's audio engine: processing stops while the instance is suspended, as a host stops its
// audio callback around mains changes.
struct SEngine {
    std::mutex lock;
    bool resumed = false;
    // Keeps the audio thread from taking the lock straight back while the host waits for it.
    std::atomic<bool> stopping{false};
};

class HostThreadsStressTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(qelProductStartup(g_embeddedResources), nullptr);
        CAudioWrapper::setApplicationFactory(
            [](CObject*& application) { return CApplication::initRootObject(CString(), application); });
        effect = CAudioWrapperVST::createEffect(SLockFreeHost::callback);
        ASSERT_NE(effect, nullptr);
        wrapper = static_cast<CAudioWrapperVST*>(static_cast<AudioEffect*>(effect->object));
        VstSpeakerArrangement in{}, out{};
        in.numChannels = out.numChannels = kChannels;
        ASSERT_EQ(effect->dispatcher(effect, effSetSpeakerArrangement, 0, intptr_t(&in), &out, 0), 1);
        effect->dispatcher(effect, effSetSampleRate, 0, 0, nullptr, 48000.0f);
        effect->dispatcher(effect, effSetBlockSize, 0, kMaxFrames, nullptr, 0);
        effect->dispatcher(effect, effMainsChanged, 0, 1, nullptr, 0);
        engine.resumed = true;
    }
    void TearDown() override {
        if (effect) {
            CCall call(mainThread, "effClose");
            effect->dispatcher(effect, effClose, 0, 0, nullptr, 0);
        }
        CAudioWrapper::setApplicationFactory(nullptr);
        CApplication::shutdown();
        watchdog.stop();
    }

    bool running() const { return !stop.load(std::memory_order_relaxed); }

    // Stereo noise in float and double, blocks of 1 to 4096 frames at random, every output sample
    // checked; outputs start as NaN so that a sample left unwritten counts too.
    void audio(CThread& self, SFindings& findings) {
        std::mt19937 random(1);
        std::vector<std::vector<double>> noiseD;
        std::vector<std::vector<float>> noiseF;
        for (int32_t c = 0; c < kChannels; ++c) {
            noiseD.push_back(noise(65536, unsigned(c + 7)));
            for (double& x : noiseD.back())
                x *= 0.5;
            noiseF.emplace_back(noiseD.back().begin(), noiseD.back().end());
        }
        std::vector<std::vector<double>> outD(kChannels, std::vector<double>(kMaxFrames));
        std::vector<std::vector<float>> outF(kChannels, std::vector<float>(kMaxFrames));
        std::array<double*, kChannels> inD{}, outsD{};
        std::array<float*, kChannels> inF{}, outsF{};
        for (int64_t block = 0; running(); ++block) {
            if (engine.stopping.load(std::memory_order_relaxed)) {
                std::this_thread::yield();
                continue;
            }
            const int32_t frames = 1 + int32_t(random() % (1u << (random() % 13)));
            const bool isDouble = random() % 2 != 0;
            const size_t offset = random() % (65536 - kMaxFrames);
            for (int32_t c = 0; c < kChannels; ++c) {
                inD[size_t(c)] = noiseD[size_t(c)].data() + offset;
                inF[size_t(c)] = noiseF[size_t(c)].data() + offset;
                outsD[size_t(c)] = outD[size_t(c)].data();
                outsF[size_t(c)] = outF[size_t(c)].data();
                std::fill_n(outsD[size_t(c)], frames, unwrittenMark<double>());
                std::fill_n(outsF[size_t(c)], frames, unwrittenMark<float>());
            }
            std::unique_lock<std::mutex> resumed;
            {
                CCall call(self, "waiting for the host engine lock (mains change)");
                resumed = std::unique_lock<std::mutex>(engine.lock);
            }
            if (!engine.resumed) {
                resumed.unlock();
                std::this_thread::yield();
                continue;
            }
            if (isDouble) {
                CCall call(self, "processDoubleReplacing, frames", frames);
                effect->processDoubleReplacing(effect, inD.data(), outsD.data(), frames);
            } else {
                CCall call(self, "processReplacing, frames", frames);
                effect->processReplacing(effect, inF.data(), outsF.data(), frames);
            }
            resumed.unlock();
            ++blocks;
            for (int32_t c = 0; c < kChannels; ++c) {
                const std::string where = "block " + std::to_string(block) +
                                          (isDouble ? " (double, " : " (float, ") + std::to_string(frames) +
                                          " frames) channel " + std::to_string(c);
                if (isDouble)
                    checkOutput(outsD[size_t(c)], frames, where, findings);
                else
                    checkOutput(outsF[size_t(c)], frames, where, findings);
            }
        }
    }

    // Every host-exposed parameter: set, read back, names and texts, and both text conversions.
    void hostParameters(CThread& self, SFindings& findings) {
        std::mt19937 random(2);
        std::uniform_real_distribution<float> unit(0.0f, 1.0f);
        char text[64];
        while (running())
            for (int32_t index = 0; index < effect->numParams && running(); ++index) {
                {
                    CCall call(self, "setParameter, index", index);
                    effect->setParameter(effect, index, unit(random));
                }
                float value = 0;
                {
                    CCall call(self, "getParameter, index", index);
                    value = effect->getParameter(effect, index);
                }
                if (!(value >= 0.0f && value <= 1.0f))
                    findings.add("getParameter " + std::to_string(index) + " = " + std::to_string(value));
                for (const auto& [opcode, name] :
                     {std::pair{effGetParamName, "effGetParamName, index"},
                      std::pair{effGetParamLabel, "effGetParamLabel, index"},
                      std::pair{effGetParamDisplay, "effGetParamDisplay, index"}}) {
                    std::memset(text, 'x', sizeof text);
                    {
                        CCall call(self, name, index);
                        effect->dispatcher(effect, opcode, index, 0, text, 0);
                    }
                    if (strnlen(text, sizeof text) > 7)
                        findings.add(std::string(name) + " " + std::to_string(index) + ": text too long");
                }
                {
                    CCall call(self, "effCanBeAutomated, index", index);
                    if (effect->dispatcher(effect, effCanBeAutomated, index, 0, nullptr, 0) != 1)
                        findings.add("parameter " + std::to_string(index) + " cannot be automated");
                }
                {
                    std::memset(text, 'x', sizeof text);
                    CCall call(self, "effVendorSpecific(effGetParamDisplay), index", index);
                    if (effect->dispatcher(effect, effVendorSpecific, effGetParamDisplay, index, text,
                                           unit(random)) != 0xBEEF)
                        findings.add("display of a value of " + std::to_string(index) + " refused");
                }
                {
                    CCall call(self, "effVendorSpecific(effString2Parameter), index", index);
                    if (effect->dispatcher(effect, effVendorSpecific, effString2Parameter, index, text, 0) !=
                        0xBEEF)
                        findings.add("text conversion of " + std::to_string(index) + " refused");
                }
                char* end = nullptr;
                const double normalized = std::strtod(text, &end);
                if (end == text || *end || !(normalized >= 0.0 && normalized <= 1.0))
                    findings.add("text conversion of " + std::to_string(index) + " gave '" + text + "'");
            }
    }

    // Programs and their names, bank and program chunks, and suspend / sample rate / resume.
    void hostState(CThread& self, SFindings& findings) {
        std::mt19937 random(3);
        const float rates[] = {44100.0f, 88200.0f, 96000.0f, 32000.0f};
        std::vector<char> chunks[2];
        char text[64];
        for (int64_t step = 0; running(); ++step) {
            const int32_t program = int32_t(random() % uint32_t(effect->numPrograms));
            switch (random() % 6) {
            case 0: {
                CCall call(self, "effSetProgram, program", program);
                effect->dispatcher(effect, effSetProgram, 0, program, nullptr, 0);
                break;
            }
            case 1: {
                intptr_t current = 0;
                {
                    CCall call(self, "effGetProgram");
                    current = effect->dispatcher(effect, effGetProgram, 0, 0, nullptr, 0);
                }
                if (current < 0 || current >= effect->numPrograms)
                    findings.add("effGetProgram gave " + std::to_string(current));
                {
                    std::memset(text, 'x', sizeof text);
                    CCall call(self, "effGetProgramName");
                    effect->dispatcher(effect, effGetProgramName, 0, 0, text, 0);
                }
                std::memset(text, 'x', sizeof text);
                CCall call(self, "effGetProgramNameIndexed, program", program);
                if (effect->dispatcher(effect, effGetProgramNameIndexed, program, 0, text, 0) != 1 ||
                    std::strlen(text) > 23)
                    findings.add("name of program " + std::to_string(program) + " missing or too long");
                break;
            }
            case 2: {
                std::snprintf(text, sizeof text, "Stress %lld", static_cast<long long>(step));
                CCall call(self, "effSetProgramName");
                effect->dispatcher(effect, effSetProgramName, 0, 0, text, 0);
                break;
            }
            case 3:
            case 4: {
                // Bank (0) or program (1): the chunk taken last time goes back in.
                const int32_t isPreset = int32_t(random() % 2);
                std::vector<char>& previous = chunks[isPreset];
                if (!previous.empty()) {
                    CCall call(self, isPreset ? "effSetChunk (program), bytes" : "effSetChunk (bank), bytes",
                               int64_t(previous.size()));
                    if (effect->dispatcher(effect, effSetChunk, isPreset, intptr_t(previous.size()),
                                           previous.data(), 0) != 1)
                        findings.add(std::string("a chunk just taken was refused, preset ") +
                                     std::to_string(isPreset));
                }
                void* data = nullptr;
                intptr_t size = 0;
                {
                    CCall call(self, isPreset ? "effGetChunk (program)" : "effGetChunk (bank)");
                    size = effect->dispatcher(effect, effGetChunk, isPreset, 0, &data, 0);
                }
                if (size <= 0 || !data) {
                    findings.add("effGetChunk failed, preset " + std::to_string(isPreset));
                    previous.clear();
                } else {
                    previous.assign(static_cast<char*>(data), static_cast<char*>(data) + size);
                }
                break;
            }
            default: {
                // Every other cycle comes back to 48 kHz.
                const float rate = step % 2 ? rates[random() % 4] : 48000.0f;
                engine.stopping.store(true, std::memory_order_relaxed);
                std::unique_lock<std::mutex> stopped;
                {
                    CCall call(self, "waiting for the audio thread to end its block");
                    stopped = std::unique_lock<std::mutex>(engine.lock);
                }
                engine.stopping.store(false, std::memory_order_relaxed);
                {
                    CCall call(self, "effMainsChanged, value", 0);
                    effect->dispatcher(effect, effMainsChanged, 0, 0, nullptr, 0);
                }
                engine.resumed = false;
                {
                    CCall call(self, "effSetSampleRate, rate", int64_t(rate));
                    effect->dispatcher(effect, effSetSampleRate, 0, 0, nullptr, rate);
                }
                {
                    CCall call(self, "effMainsChanged, value", 1);
                    effect->dispatcher(effect, effMainsChanged, 0, 1, nullptr, 0);
                }
                engine.resumed = true;
                ++mainsCycles;
            }
            }
        }
    }

    // An editor on its own user-interface thread: value changes inside undo gestures and without,
    // undo and redo, programs, factory presets and A/B comparison.
    void editor(CThread& self, SFindings& findings, std::latch& ready) {
        std::mt19937 random(4);
        std::uniform_real_distribution<double> unit(0.0, 1.0);
        CObject* audioRoot = wrapper->applicationObject();
        CObject* ui = nullptr;
        CAudioInterfaceClient* client = nullptr;
        CParamInterfaceClientConnectorUni* connector = nullptr;
        auto expectOk = [&](const char* what, CError* error) {
            const std::string line = firstLine(error);
            if (!line.empty()) findings.add(std::string(what) + ": " + line);
        };
        auto deliver = [&] {
            CCall call(self, "delivering the instance's messages");
            connector->poll();
            CThreadPump::current()->pump();
        };
        {
            CCall call(self, "opening the editor");
            expectOk("initRootObject", CApplication::initRootObject(CString(), ui));
            expectOk("BaseConnectorRootPtr", ui->setAttrPointer("BaseConnectorRootPtr", &audioRoot));
            expectOk("UserInterface.xml", ui->loadXMLData("UserInterface.xml", true));
            expectOk("client", ui->findObjectChecked("ui.interface-client", client));
            expectOk("connector", ui->findObjectChecked("ui.interface-client-connector", connector));
        }
        if (!client || !connector) {
            ready.count_down();
            return;
        }
        // A handle per parameter, and per host-exposed parameter its handle and element.
        std::map<CString, int32_t> handles;
        std::vector<std::pair<int32_t, int32_t>> params;
        for (const auto& [name, element] : exposed) {
            if (!handles.count(name)) {
                CCall call(self, "listenParam");
                expectOk("listenParam", client->listenParam(name, nullptr, handles[name]));
            }
            params.emplace_back(handles[name], element);
        }
        int32_t registry = 0;
        expectOk("listenRegistry", client->listenRegistry("plugin.param-registry", nullptr, registry));
        for (int32_t tries = 0; tries < 100; ++tries) {
            bool known = client->registryState(registry) != nullptr;
            for (const auto& [name, handle] : handles)
                known = known && client->paramState(handle) && client->paramState(handle)->info;
            if (known) break;
            deliver();
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        ready.count_down();
        ready.wait();

        // A value inside the parameter's range; whole numbers for a parameter with named states.
        auto valueFor = [&](int32_t handle) {
            const CAudioParamInfo* info =
                client->paramState(handle) ? client->paramState(handle)->info.get() : nullptr;
            if (!info) return unit(random);
            const double value = info->minValue(0) + unit(random) * (info->maxValue(0) - info->minValue(0));
            return info->stateNames.empty() ? value : std::round(value);
        };
        int32_t undoId = 0;
        while (running()) {
            const auto& [handle, element] = params[random() % params.size()];
            switch (random() % 7) {
            case 0:
            case 1: {
                const int32_t id = ++undoId;
                const bool mergeable = random() % 2 != 0;
                {
                    CCall call(self, "createUndoData, id", id);
                    expectOk("createUndoData", client->createUndoData(id, "Stress drag", mergeable, handle));
                }
                for (uint32_t moves = 1 + random() % 4; moves > 0; --moves) {
                    CCall call(self, "setParamValue in a gesture, element", element);
                    expectOk("setParamValue", client->setParamValue(handle, 0, element, 0, valueFor(handle)));
                }
                CCall call(self, "submitUndoData, id", id);
                expectOk("submitUndoData", client->submitUndoData(id, "Stress edit"));
                break;
            }
            case 2: {
                CCall call(self, "setParamValue, element", element);
                expectOk("setParamValue", client->setParamValue(handle, 0, element, 0, valueFor(handle)));
                break;
            }
            case 3: {
                {
                    CCall call(self, "requestUndoHistory");
                    expectOk("requestUndoHistory", client->requestUndoHistory());
                }
                deliver();
                const int32_t count = int32_t(client->undoLabels().size());
                if (count == 0) break;
                const int32_t position = int32_t(random() % uint32_t(count));
                // The history may have changed since it was reported: a position past its end is refused.
                CCall call(self, "setUndoHistoryPos, position", position);
                qelErrRelease(client->setUndoHistoryPos(position));
                ++undoMoves;
                break;
            }
            case 4: {
                const int32_t program = int32_t(random() % uint32_t(effect->numPrograms));
                CCall call(self, "setCurrentProgram, program", program);
                expectOk("setCurrentProgram", client->setCurrentProgram(registry, program));
                break;
            }
            case 5: {
                const int32_t preset = int32_t(random() % uint32_t(factoryPresets));
                CCall call(self, "activateFactoryPreset, preset", preset);
                expectOk("activateFactoryPreset", client->activateFactoryPreset(registry, preset));
                break;
            }
            default:
                if (random() % 2) {
                    CCall call(self, "updateShadowPreset (A/B)");
                    expectOk("updateShadowPreset", client->updateShadowPreset(registry));
                } else {
                    CCall call(self, "exchangeShadowPreset (A/B)");
                    expectOk("exchangeShadowPreset", client->exchangeShadowPreset(registry));
                }
            }
            deliver();
        }
        CCall call(self, "closing the editor");
        CApplication::releaseRootObject(ui);
    }

    AEffect* effect = nullptr;
    CAudioWrapperVST* wrapper = nullptr;
    int32_t factoryPresets = 1;
    // Parameter name and element of each host-exposed parameter.
    std::vector<std::pair<CString, int32_t>> exposed;
    SEngine engine;
    std::atomic<bool> stop{false};
    CHangWatchdog watchdog{"HostThreadsStressTest", kHangLimit};
    CThread& mainThread = watchdog.add("main");
    // Each written by one thread, read after it was joined.
    int64_t blocks = 0;
    int64_t mainsCycles = 0;
    int64_t undoMoves = 0;
};

TEST_F(HostThreadsStressTest, AudioHostAndEditorThreadsTogetherNeitherHangNorSpoilTheOutput) {
    factoryPresets = std::max(wrapper->paramRegistry()->factoryPresetCount(), 1);
    for (const CAudioExtParam* entry : wrapper->extParamList()->entries())
        exposed.emplace_back(entry->getAttr("param-name"), entry->elementIndex());
    ASSERT_EQ(exposed.size(), 11u);
    CThread& audioThread = watchdog.add("audio");
    CThread& paramsThread = watchdog.add("host-params");
    CThread& stateThread = watchdog.add("host-state");
    CThread& editorThread = watchdog.add("editor");
    SFindings audioFindings, paramsFindings, stateFindings, editorFindings;
    const uint64_t automatedBefore = SLockFreeHost::count(audioMasterAutomate);
    const uint64_t beginsBefore = SLockFreeHost::count(audioMasterBeginEdit);
    const uint64_t endsBefore = SLockFreeHost::count(audioMasterEndEdit);
    watchdog.start();

    // Everyone starts once the editor knows the instance.
    std::latch ready(4);
    std::thread editorWorker([&] { editor(editorThread, editorFindings, ready); });
    std::thread audioWorker([&] {
        ready.arrive_and_wait();
        audio(audioThread, audioFindings);
    });
    std::thread paramsWorker([&] {
        ready.arrive_and_wait();
        hostParameters(paramsThread, paramsFindings);
    });
    std::thread stateWorker([&] {
        ready.arrive_and_wait();
        hostState(stateThread, stateFindings);
    });
    std::this_thread::sleep_for(std::chrono::duration<double>(runSeconds()));
    stop.store(true, std::memory_order_relaxed);
    for (auto* worker : {&audioWorker, &paramsWorker, &stateWorker, &editorWorker})
        worker->join();

    EXPECT_EQ(audioFindings.count, 0u) << describe("audio", audioFindings);
    EXPECT_EQ(paramsFindings.count, 0u) << describe("host-params", paramsFindings);
    EXPECT_EQ(stateFindings.count, 0u) << describe("host-state", stateFindings);
    EXPECT_EQ(editorFindings.count, 0u) << describe("editor", editorFindings);
    // Every door was really used while the others were busy.
    EXPECT_GT(blocks, 0);
    EXPECT_GT(mainsCycles, 0);
    EXPECT_GT(undoMoves, 0);
    for (const CThread* thread : {&audioThread, &paramsThread, &stateThread, &editorThread})
        EXPECT_GT(thread->calls(), 0u) << thread->name();
    EXPECT_GT(SLockFreeHost::count(audioMasterAutomate), automatedBefore);
    EXPECT_EQ(SLockFreeHost::count(audioMasterBeginEdit) - beginsBefore,
              SLockFreeHost::count(audioMasterEndEdit) - endsBefore)
        << "every edit gesture the host saw begin also ended";
    for (const CThread& thread : watchdog.threads())
        std::printf("%-12s %8llu calls, longest %.3f s in %s\n", thread.name(),
                    static_cast<unsigned long long>(thread.calls()), thread.longestSeconds(),
                    thread.longestCall());
}

} // namespace
} // namespace qel::test
