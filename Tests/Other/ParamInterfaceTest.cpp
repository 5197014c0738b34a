#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <tuple>

#include "Audio/CAudioInterfaceBase.h"
#include "Audio/Params/CAudioParamRegistry.h"
#include "Core/CWriteSeqBuffer.h"
#include "Other/InterfaceInstance.h"
#include "Other/SMessageQueue.h"
#include "Support/ErrorText.h"

namespace qel::test {
namespace {

constexpr const char* kOutGain = "plugin.modMain.modOutGain.gain";
constexpr int32_t kOutGainIndex = 10;

// Records what a client hands to a parameter's listener.
struct SParamSpy : CParamInterfaceParamListener {
    int32_t infos = 0;
    std::vector<std::pair<int32_t, double>> values; // (group, first value)
    void onParamInfo(int32_t, const CAudioParamInfo* info, const CAudioParamStorage*) override {
        if (info) ++infos;
    }
    void onParamValues(int32_t, int32_t group, const CAudioParamStorage& storage) override {
        values.emplace_back(group, storage.getValue(0, 0, -1.0));
    }
};

struct SRegistrySpy : CParamInterfaceRegistryListener {
    std::vector<SRegistryState> states;
    std::vector<std::vector<int32_t>> echoes;
    CByteBuffer data;
    void onRegistryState(int32_t, const SRegistryState& state) override { states.push_back(state); }
    CError* onRegistryData(int32_t, CInputStream& stream) override {
        std::vector<int32_t> fields(4);
        for (int32_t& field : fields)
            QEL_CHECK(stream.readValue(field));
        echoes.push_back(fields);
        uint8_t byte = 0;
        data.clear();
        for (;;) {
            if (CError* end = stream.read(&byte, 1)) {
                qelErrRelease(end);
                return nullptr;
            }
            data.push_back(byte);
        }
    }
};

using ParamInterfaceTest = InterfaceInstanceTest;

TEST(SMessageQueueTest, KeepsOrderWhileGrowingPastItsInlineRoom) {
    SMessageQueue queue;
    EXPECT_EQ(queue.capacity(), 8u);
    for (uint8_t i = 0; i < 5; ++i)
        queue.push({i});
    CByteBuffer message;
    ASSERT_TRUE(queue.pop(message));
    EXPECT_EQ(message, CByteBuffer{0});
    for (uint8_t i = 5; i < 20; ++i)
        queue.push({i});
    EXPECT_EQ(queue.capacity(), 2u * (2u * 8u + 1u) + 1u);
    for (uint8_t i = 1; i < 20; ++i) {
        ASSERT_TRUE(queue.pop(message));
        EXPECT_EQ(message, CByteBuffer{i});
    }
    EXPECT_FALSE(queue.pop(message));
}

TEST_F(ParamInterfaceTest, ClientsConnectWithFreshIdentifiersAndLearnTheInstanceState) {
    SEditor& first = openEditor();
    const size_t answersToANewClient = baseConnector().queuedCount(1);
    SEditor& second = openEditor();
    EXPECT_EQ(first.client->clientId(), 1u);
    EXPECT_EQ(second.client->clientId(), 2u);
    first.deliver();
    EXPECT_EQ(first.client->sampleRate(), 48000.0);
    EXPECT_EQ(first.client->inputCount(), effect->numInputs);
    EXPECT_EQ(first.client->outputCount(), effect->numOutputs);
    EXPECT_EQ(first.client->groupCount(), wrapper->getGroupCount());
    EXPECT_EQ(first.client->internalChannelCount(), wrapper->getIntChannelCount());
    ASSERT_FALSE(first.client->groupNames().empty());
    EXPECT_EQ(first.client->groupNames()[0], "G1");

    // A new sample rate is announced to everyone with a higher sequence number.
    const int32_t sequence = first.client->sampleRateSequence();
    effect->dispatcher(effect, effMainsChanged, 0, 0, nullptr, 0);
    effect->dispatcher(effect, effSetSampleRate, 0, 0, nullptr, 96000.0f);
    effect->dispatcher(effect, effMainsChanged, 0, 1, nullptr, 0);
    first.deliver();
    second.deliver();
    EXPECT_EQ(first.client->sampleRate(), 96000.0);
    EXPECT_EQ(second.client->sampleRate(), 96000.0);
    EXPECT_GT(first.client->sampleRateSequence(), sequence);

    // Identifiers are never reused, and a closed client leaves nothing queued behind.
    CParamInterfaceBaseConnectorUni& base = baseConnector();
    effect->dispatcher(effect, effMainsChanged, 0, 0, nullptr, 0);
    effect->dispatcher(effect, effMainsChanged, 0, 1, nullptr, 0);
    EXPECT_GT(base.queuedCount(2), 0u);
    closeEditor(second);
    EXPECT_EQ(base.queuedCount(2), 0u);
    EXPECT_EQ(base.clientCount(), 1u);
    SEditor& third = openEditor();
    EXPECT_EQ(third.client->clientId(), 3u);
    EXPECT_EQ(base.queuedCount(3), answersToANewClient) << "only the answers to its own requests";
}

TEST_F(ParamInterfaceTest, EditorChangeReachesAudioOtherEditorAndHostFramedByAnEditGesture) {
    SEditor& one = openEditor();
    SEditor& two = openEditor();
    SParamSpy spyOne, spyTwo;
    int32_t handleOne = 0, handleTwo = 0;
    ASSERT_EQ(one.client->listenParam(kOutGain, &spyOne, handleOne), nullptr);
    ASSERT_EQ(two.client->listenParam(kOutGain, &spyTwo, handleTwo), nullptr);
    EXPECT_EQ(uint32_t(handleOne) >> 16, one.client->clientId());
    EXPECT_EQ(uint32_t(handleTwo) >> 16, two.client->clientId());
    one.deliver();
    two.deliver();
    ASSERT_EQ(spyOne.infos, 1);
    ASSERT_EQ(spyTwo.infos, 1);
    EXPECT_EQ(spyTwo.values.size(), 1u) << "the values of the one group";

    calls().clear();
    ASSERT_EQ(one.client->setParamValue(handleOne, 0, 0, 0, 0.5), nullptr);
    const std::vector<SHostCall> automated = callsOf(audioMasterAutomate);
    ASSERT_EQ(automated.size(), 1u);
    EXPECT_EQ(automated[0].index, kOutGainIndex);
    std::vector<int32_t> order;
    for (const SHostCall& call : calls())
        if (call.opcode == audioMasterBeginEdit || call.opcode == audioMasterAutomate ||
            call.opcode == audioMasterEndEdit) {
            order.push_back(call.opcode);
            EXPECT_EQ(call.index, kOutGainIndex);
        }
    EXPECT_EQ(order, (std::vector<int32_t>{audioMasterBeginEdit, audioMasterAutomate, audioMasterEndEdit}));

    CAudioParam& gain = param(kOutGain);
    EXPECT_NE(gain.audioValues().getValue(0, 0, -1.0), 0.5) << "not before the next block";
    process(0.0);
    EXPECT_EQ(gain.audioValues().getValue(0, 0, -1.0), 0.5);

    spyTwo.values.clear();
    two.deliver();
    ASSERT_EQ(spyTwo.values.size(), 1u);
    EXPECT_EQ(spyTwo.values[0], std::make_pair(0, 0.5));
    EXPECT_EQ(two.client->paramValue(handleTwo, 0, 0, -1.0), 0.5);

    // The host's own change reaches both editors.
    spyOne.values.clear();
    spyTwo.values.clear();
    effect->setParameter(effect, kOutGainIndex, 0.25f);
    process(0.0);
    one.deliver();
    two.deliver();
    ASSERT_FALSE(spyOne.values.empty());
    ASSERT_FALSE(spyTwo.values.empty());
    EXPECT_EQ(spyOne.values.back().second, gain.getValue(0, 0, -1.0));
    EXPECT_EQ(spyTwo.values.back().second, gain.getValue(0, 0, -1.0));
    EXPECT_NE(gain.getValue(0, 0, -1.0), 0.5);

    // A handle given up is ignored when a late message for it arrives.
    ASSERT_EQ(two.client->unlistenParam(handleTwo), nullptr);
    ASSERT_EQ(one.client->setParamValue(handleOne, 0, 0, 0, 0.75), nullptr);
    spyTwo.values.clear();
    two.deliver();
    EXPECT_TRUE(spyTwo.values.empty());
    EXPECT_EQ(two.client->paramState(handleTwo), nullptr);
}

TEST_F(ParamInterfaceTest, UndoAndRedoThroughTheHistoryPosition) {
    SEditor& one = openEditor();
    SEditor& two = openEditor();
    SParamSpy spy;
    int32_t handle = 0;
    ASSERT_EQ(one.client->listenParam(kOutGain, &spy, handle), nullptr);
    one.deliver();
    CAudioParam& gain = param(kOutGain);
    const double before = gain.getValue(0, 0, -1.0);

    // One gesture: an open undo data collects every change and closes the host's edit at the end.
    ASSERT_EQ(one.client->createUndoData(7, "Out gain drag", true, 99), nullptr);
    calls().clear();
    ASSERT_EQ(one.client->setParamValue(handle, 0, 0, 0, 0.5), nullptr);
    ASSERT_EQ(one.client->setParamValue(handle, 0, 0, 0, 0.6), nullptr);
    EXPECT_EQ(callsOf(audioMasterBeginEdit).size(), 1u);
    EXPECT_TRUE(callsOf(audioMasterEndEdit).empty());
    ASSERT_EQ(one.client->submitUndoData(7, "Output gain"), nullptr);
    EXPECT_EQ(callsOf(audioMasterEndEdit).size(), 1u);

    ASSERT_EQ(two.client->requestUndoHistory(), nullptr);
    two.deliver();
    ASSERT_EQ(two.client->undoLabels().size(), 2u);
    EXPECT_EQ(two.client->undoLabels()[1], "Output gain");
    EXPECT_EQ(two.client->undoPosition(), 1);

    ASSERT_EQ(two.client->setUndoHistoryPos(0), nullptr);
    EXPECT_EQ(gain.getValue(0, 0, -1.0), before);
    one.deliver();
    two.deliver();
    EXPECT_EQ(two.client->undoPosition(), 0);
    EXPECT_EQ(one.client->undoPosition(), 0);
    EXPECT_EQ(one.client->paramValue(handle, 0, 0, -1.0), before);

    ASSERT_EQ(one.client->setUndoHistoryPos(1), nullptr);
    EXPECT_EQ(gain.getValue(0, 0, -1.0), 0.6);
    EXPECT_NE(test::firstLine(one.client->setUndoHistoryPos(5)), "") << "outside the history";
    EXPECT_EQ(gain.getValue(0, 0, -1.0), 0.6);

    // A removed undo data keeps the values but records nothing.
    ASSERT_EQ(one.client->createUndoData(8, "Discarded", false, 0), nullptr);
    ASSERT_EQ(one.client->setParamValue(handle, 0, 0, 0, 0.3), nullptr);
    ASSERT_EQ(one.client->removeUndoData(8), nullptr);
    EXPECT_EQ(gain.getValue(0, 0, -1.0), 0.3);
    one.deliver();
    EXPECT_EQ(one.client->undoLabels().size(), 2u);
}

TEST_F(ParamInterfaceTest, ProgramsAndFactoryPresetsThroughTheRegistryCommands) {
    SEditor& one = openEditor();
    SEditor& two = openEditor();
    SRegistrySpy spyOne, spyTwo;
    int32_t handleOne = 0, handleTwo = 0;
    ASSERT_EQ(one.client->listenRegistry("plugin.param-registry", &spyOne, handleOne), nullptr);
    ASSERT_EQ(two.client->listenRegistry("plugin.param-registry", &spyTwo, handleTwo), nullptr);
    one.deliver();
    two.deliver();
    ASSERT_EQ(spyOne.states.size(), 1u);
    EXPECT_TRUE(spyOne.states[0].isMaster);
    EXPECT_EQ(spyOne.states[0].category, "QLEM");
    EXPECT_EQ(spyOne.states[0].currentProgram, 0);
    EXPECT_EQ(int32_t(spyOne.states[0].programNames.size()), effect->numPrograms);

    ASSERT_EQ(one.client->setCurrentProgram(handleOne, 2), nullptr);
    two.deliver();
    ASSERT_FALSE(spyTwo.states.empty());
    EXPECT_EQ(spyTwo.states.back().currentProgram, 2);
    EXPECT_EQ(effect->dispatcher(effect, effGetProgram, 0, 0, nullptr, 0), 2);

    const CString programName = spyTwo.states.back().programNames[2];
    ASSERT_EQ(one.client->activateFactoryPreset(handleOne, 4), nullptr);
    two.deliver();
    EXPECT_NE(spyTwo.states.back().programNames[2], programName) << "the program takes the preset's name";
    ASSERT_EQ(two.client->requestUndoHistory(), nullptr);
    two.deliver();
    EXPECT_EQ(two.client->undoLabels().back(), "ROM preset activate");

    ASSERT_EQ(one.client->renamePreset(handleOne, -1, "Mine"), nullptr);
    two.deliver();
    EXPECT_EQ(spyTwo.states.back().programNames[2], "QLEM:Mine");

    // A preset asked for comes back to the asker only, after the echoed request fields, and
    // activates again.
    ASSERT_EQ(one.client->requestPreset(handleOne, -1, false, -1, 77), nullptr);
    one.deliver();
    two.deliver();
    ASSERT_EQ(spyOne.echoes.size(), 1u);
    EXPECT_EQ(spyOne.echoes[0], (std::vector<int32_t>{-1, 0, -1, 77}));
    EXPECT_TRUE(spyTwo.echoes.empty());
    ASSERT_FALSE(spyOne.data.empty());
    ASSERT_EQ(one.client->activatePreset(handleOne, 0, spyOne.data), nullptr);
    EXPECT_NE(test::firstLine(one.client->setCurrentProgram(handleOne, 1000)), "");
    EXPECT_NE(test::firstLine(one.client->activateFactoryPreset(handleOne, 1000)), "");
    EXPECT_NE(test::firstLine(one.client->activatePreset(handleOne, 0, CByteBuffer{1, 2, 3})), "");
}

// Every index a client sends is checked where it ends: the last valid value works, one past it fails
// and changes nothing.
TEST_F(ParamInterfaceTest, ClientIndicesAreCheckedAtTheirBoundaries) {
    SEditor& editor = openEditor();
    CAudioInterfaceClient& client = *editor.client;
    int32_t handle = 0, registry = 0;
    CAudioParamRegistry* master = listenToGainAndRegistry(editor, handle, registry);
    ASSERT_NE(master, nullptr);
    CAudioInterfaceBase* base = nullptr;
    ASSERT_EQ(wrapper->applicationObject()->findObjectChecked("plugin.interface-base", base), nullptr);
    CAudioParam& gain = param(kOutGain);
    auto snapshot = [&] {
        CWriteSeqBuffer out;
        EXPECT_EQ(master->acquirePreset(false, -1, -1, out), nullptr);
        std::vector<CString> names;
        int32_t current = 0;
        master->programNames(names, current, false);
        std::vector<CString> labels;
        int32_t position = 0;
        base->labels(labels, position);
        CAudioParam::CAccess access(gain, nullptr);
        return std::make_tuple(out.join(), names, current, labels, position, gain.values().groupCount(),
                               gain.values().elementCount(0));
    };
    auto expectRefused = [&](CError* error, const std::string& message) {
        EXPECT_EQ(test::firstLine(error), message);
    };
    const int32_t programs = master->programCount();
    ASSERT_GE(programs, 2);

    // Resetting a one-element parameter: first element and count each in range, together one past.
    ASSERT_EQ(client.setParamValue(handle, 0, 0, 0, 0.5), nullptr);
    auto before = snapshot();
    expectRefused(client.resetParam(handle, 0, 1, 1, true),
                  "Invalid reset range 1, 1 (the parameter has 1 elements).");
    expectRefused(client.resetParam(handle, 0, 0, 2, true),
                  "Invalid reset range 0, 2 (the parameter has 1 elements).");
    expectRefused(client.resetParam(handle, 0, 2, 0, true),
                  "Invalid reset range 2, 0 (the parameter has 1 elements).");
    expectRefused(client.resetParam(handle, 256, 0, 0, true), "Invalid reset selector 256, 0.");
    expectRefused(client.resetParam(handle, -2, 0, 0, true), "Invalid reset selector -2, 0.");
    expectRefused(client.resetParam(handle, 0, -1, 0, true), "Invalid reset selector 0, -1.");
    EXPECT_EQ(snapshot(), before);
    ASSERT_EQ(client.resetParam(handle, 0, 1, 0, true), nullptr);
    ASSERT_EQ(client.resetParam(handle, 255, 0, 0, true), nullptr);
    EXPECT_EQ(snapshot(), before) << "empty ranges reset nothing";
    ASSERT_EQ(client.resetParam(handle, 0, 0, 1, true), nullptr);
    EXPECT_EQ(gain.getValue(0, 0, -1.0), 1.0);

    // Programs, factory presets and their data.
    before = snapshot();
    expectRefused(client.setCurrentProgram(registry, programs),
                  CString::format("Invalid program index %d.", programs).toUtf8());
    expectRefused(client.setCurrentProgram(registry, -1), "Invalid program index -1.");
    const std::string pastPreset = CString::format("Invalid preset index %d specified.", programs).toUtf8();
    expectRefused(client.activateFactoryPreset(registry, programs), pastPreset);
    expectRefused(client.activateFactoryPreset(registry, -1), "Invalid preset index -1 specified.");
    expectRefused(client.requestPreset(registry, programs, false, -1, 0), pastPreset);
    expectRefused(client.requestPreset(registry, programs, true, -1, 0), pastPreset);
    expectRefused(client.requestPreset(registry, -2, false, -1, 0), "Invalid preset index -2 specified.");
    expectRefused(client.requestBank(registry, 2, 0), "Invalid bank index 2.");
    expectRefused(client.requestBank(registry, -1, 0), "Invalid bank index -1.");
    ASSERT_EQ(client.renamePreset(registry, programs, "Nowhere"), nullptr);
    ASSERT_EQ(client.renamePreset(registry, -2, "Nowhere"), nullptr);
    EXPECT_EQ(snapshot(), before);
    ASSERT_EQ(client.requestPreset(registry, programs - 1, false, -1, 0), nullptr);
    ASSERT_EQ(client.requestPreset(registry, programs - 1, true, -1, 0), nullptr);
    ASSERT_EQ(client.requestBank(registry, 1, 0), nullptr);
    ASSERT_EQ(client.renamePreset(registry, programs - 1, "Last"), nullptr);
    EXPECT_EQ(master->programName(programs - 1), "QLEM:Last");
    ASSERT_EQ(client.setCurrentProgram(registry, programs - 1), nullptr);
    EXPECT_EQ(master->currentProgram(), programs - 1);
    ASSERT_EQ(client.activateFactoryPreset(registry, programs - 1), nullptr);

    // The undo history: its end is a position, one past it is not.
    ASSERT_EQ(client.setParamValue(handle, 0, 0, 0, 0.75), nullptr);
    const int32_t count = base->count();
    ASSERT_GE(count, 1);
    before = snapshot();
    expectRefused(client.setUndoHistoryPos(count + 1),
                  CString::format("Invalid undo history position %d.", count + 1).toUtf8());
    expectRefused(client.setUndoHistoryPos(-1), "Invalid undo history position -1.");
    EXPECT_EQ(snapshot(), before);
    ASSERT_EQ(client.setUndoHistoryPos(count - 1), nullptr);
    ASSERT_EQ(client.setUndoHistoryPos(count), nullptr);
    EXPECT_EQ(gain.getValue(0, 0, -1.0), 0.75);

    // Meter slots.
    expectRefused(client.listenViz(2, "", 50), "Unknown visualisation slot '' (index 2).");
    ASSERT_EQ(client.listenViz(1, "", 51), nullptr);

    // Groups of a change: the last one a client may address, and one past it.
    before = snapshot();
    expectRefused(client.setParamValue(handle, 256, 0, 0, 0.5), "Invalid group 256.");
    EXPECT_EQ(snapshot(), before);
    ASSERT_EQ(client.setParamValue(handle, 255, 0, 0, 0.5), nullptr);
    EXPECT_EQ(gain.getValue(255, 0, -1.0), 0.5);
}

TEST_F(ParamInterfaceTest, WithoutDataProviderTheDefaultsAreSent) {
    // A base that no core feeds answers with the stand-in values.
    SEditor& one = openEditor();
    one.deliver();
    CAudioInterfaceBase* base = nullptr;
    ASSERT_EQ(wrapper->applicationObject()->findObjectChecked("plugin.interface-base", base), nullptr);
    base->setDataProvider(nullptr);
    ASSERT_EQ(one.client->requestSampleRate(), nullptr);
    ASSERT_EQ(one.client->requestIoChannelCounts(), nullptr);
    one.deliver();
    EXPECT_EQ(one.client->sampleRate(), 44100.0);
    EXPECT_EQ(one.client->inputCount(), 1);
    EXPECT_EQ(one.client->outputCount(), 1);
    EXPECT_EQ(one.client->sidechainCount(), 0);
    base->setDataProvider(wrapper);
}

TEST_F(ParamInterfaceTest, EditorAndHostChangeTheSameParameterConcurrently) {
    // The host automates on the audio thread while the editor drags: neither waits for the other's
    // locks in the opposite order, and the editor ends up showing the final value.
    SEditor& editor = openEditor();
    SParamSpy spy;
    int32_t handle = 0;
    ASSERT_EQ(editor.client->listenParam(kOutGain, &spy, handle), nullptr);
    editor.deliver();
    std::atomic<bool> stop{false};
    std::thread audio([&] {
        for (int32_t block = 0; !stop; ++block) {
            effect->setParameter(effect, kOutGainIndex, (block % 2) ? 0.2f : 0.3f);
            process(0.1, 256);
        }
    });
    for (int32_t step = 0; step < 400; ++step) {
        ASSERT_EQ(editor.client->setParamValue(handle, 0, 0, 0, 0.001 * step), nullptr);
        if (step % 10 == 0) editor.deliver();
    }
    stop = true;
    audio.join();
    editor.deliver();
    EXPECT_EQ(editor.client->paramValue(handle, 0, 0, -1.0), param(kOutGain).getValue(0, 0, -2.0));
}

TEST_F(ParamInterfaceTest, TheEditorsTimerDeliversWithoutHelp) {
    SEditor& editor = openEditor();
    SParamSpy spy;
    int32_t handle = 0;
    ASSERT_EQ(editor.client->listenParam(kOutGain, &spy, handle), nullptr);
    // Only the thread's event loop runs: the connector's timer polls at the frame rate.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (spy.infos == 0 && std::chrono::steady_clock::now() < deadline) {
        CThreadPump::current()->waitForWork(10);
        CThreadPump::current()->pump();
    }
    EXPECT_EQ(spy.infos, 1);
    EXPECT_EQ(editor.client->sampleRate(), 48000.0);
}

TEST_F(ParamInterfaceTest, AnEditorWithoutItsInstanceFailsToOpen) {
    CObject* ui = nullptr;
    ASSERT_EQ(CApplication::initRootObject(CString(), ui), nullptr);
    EXPECT_EQ(test::firstLine(ui->loadXMLData("UserInterface.xml", true)),
              "No base connector root specified.");
    CApplication::releaseRootObject(ui);

    // A root that leads to a tree without the base connector.
    CObject* elsewhere = wrapper->projectObject();
    ASSERT_EQ(CApplication::initRootObject(CString(), ui), nullptr);
    ASSERT_EQ(ui->setAttrPointer("BaseConnectorRootPtr", &elsewhere), nullptr);
    EXPECT_EQ(test::firstLine(ui->loadXMLData("UserInterface.xml", true)),
              "Unable to find object 'plugin.interface-base-connector' ('plugin.interface-base-connector')");
    CApplication::releaseRootObject(ui);
    EXPECT_EQ(baseConnector().clientCount(), 0u);
}

} // namespace
} // namespace qel::test
