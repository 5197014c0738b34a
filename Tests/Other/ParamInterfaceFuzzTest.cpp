#include <gtest/gtest.h>

#include <random>

#include "Audio/CAudioInterfaceBase.h"
#include "Audio/Params/CAudioParamRegistry.h"
#include "Audio/Params/CAudioPreset.h"
#include "Core/CWriteSeqBuffer.h"
#include "Other/CParamInterfaceMessage.h"
#include "Other/InterfaceInstance.h"
#include "Other/ParamValueBlock.h"

namespace qel::test {
namespace {

constexpr const char* kOutGain = "plugin.modMain.modOutGain.gain";

CByteBuffer build(CParamInterfaceMessage& message) {
    return message.take();
}

// Flips, overwrites, cuts or extends a message; sometimes replaces it with noise.
CByteBuffer mutate(const CByteBuffer& source, std::mt19937& random) {
    CByteBuffer bytes = source;
    const int kind = int(random() % 6);
    if (kind == 0 || bytes.empty()) {
        bytes.resize(random() % 64);
        for (uint8_t& b : bytes)
            b = uint8_t(random());
        return bytes;
    }
    const int edits = 1 + int(random() % 4);
    for (int i = 0; i < edits && !bytes.empty(); ++i) {
        const size_t at = random() % bytes.size();
        switch (kind) {
        case 1:
            bytes[at] ^= uint8_t(1u << (random() % 8));
            break;
        case 2:
            bytes[at] = uint8_t(random());
            break;
        case 3:
            bytes.resize(at);
            break;
        case 4: {
            // A forged 32-bit field: huge, negative or zero.
            static const uint32_t forged[] = {0xFFFFFFFFu, 0x7FFFFFFFu, 0x80000000u, 0, 9999, 65536};
            const uint32_t value = forged[random() % 6];
            for (size_t k = 0; k < 4 && at + k < bytes.size(); ++k)
                bytes[at + k] = uint8_t(value >> (8 * k));
            break;
        }
        default:
            bytes.insert(bytes.begin() + ptrdiff_t(at), uint8_t(random()));
        }
    }
    return bytes;
}

using ParamInterfaceFuzzTest = InterfaceInstanceTest;

TEST_F(ParamInterfaceFuzzTest, BrokenClientMessagesFailCleanlyAndChangeNothing) {
    SEditor& editor = openEditor();
    CAudioInterfaceClient& client = *editor.client;
    int32_t handle = 0, registry = 0;
    CAudioParamRegistry* master = listenToGainAndRegistry(editor, handle, registry);
    ASSERT_NE(master, nullptr);
    CWriteSeqBuffer presetBlock;
    ASSERT_EQ(master->acquirePreset(false, -1, -1, presetBlock), nullptr);
    const CByteBuffer preset = presetBlock.join();

    // One well-formed message of every command.
    std::vector<CByteBuffer> corpus;
    auto add = [&](CParamInterfaceMessage& message) { corpus.push_back(build(message)); };
    {
        CParamInterfaceMessage m("listen-param");
        add(m.str(kOutGain).i32(handle + 100));
    }
    {
        CParamInterfaceMessage m("unlisten-param");
        add(m.i32(handle + 100));
    }
    {
        CParamInterfaceMessage m("change-param");
        m.i32(handle).i32(0);
        CAudioParam& gain = param(kOutGain);
        CAudioParam::CAccess access(gain, nullptr);
        m.check(qelWriteParamValueBlock(m.stream(), gain, 0));
        add(m);
    }
    {
        CParamInterfaceMessage m("reset-param");
        add(m.i32(handle).i32(0).i32(0).i32(1).i32(1));
    }
    {
        CParamInterfaceMessage m("listen-registry");
        add(m.str("plugin.param-registry").i32(registry + 100));
    }
    for (const char* command :
         {"unlisten-registry", "activate-default-preset", "exchange-shadow-preset", "update-shadow-preset"}) {
        CParamInterfaceMessage m(command);
        add(m.i32(command == CString("unlisten-registry") ? registry + 100 : registry));
    }
    for (const char* command : {"set-current-program", "activate-factory-preset"}) {
        CParamInterfaceMessage m(command);
        add(m.i32(registry).i32(1));
    }
    {
        CParamInterfaceMessage m("activate-preset");
        m.i32(registry).i32(0).check(m.stream().write(preset.data(), uint32_t(preset.size())));
        add(m);
    }
    {
        CParamInterfaceMessage m("rename-preset");
        add(m.i32(registry).i32(-1).str("Renamed"));
    }
    {
        CParamInterfaceMessage m("request-preset");
        add(m.i32(registry).i32(-1).i32(0).i32(-1).i32(5));
    }
    {
        CParamInterfaceMessage m("request-bank");
        add(m.i32(registry).i32(1).i32(0));
    }
    {
        CParamInterfaceMessage m("create-undo-data");
        add(m.i32(3).str("Gesture").i32(1).i32(2));
    }
    {
        CParamInterfaceMessage m("submit-undo-data");
        add(m.i32(3).str("Gesture"));
    }
    {
        CParamInterfaceMessage m("remove-undo-data");
        add(m.i32(3));
    }
    {
        CParamInterfaceMessage m("set-undo-history-pos");
        add(m.i32(0));
    }
    for (const char* command : {"request-undo-history", "request-internal-channel-count",
                                "request-group-count", "request-io-channel-counts", "request-sample-rate",
                                "request-export-slot-names", "import-channel-labels"}) {
        CParamInterfaceMessage m(command);
        add(m);
    }
    {
        CParamInterfaceMessage m("listen-viz");
        add(m.i32(-1).str("output-meter").i32(41));
    }
    {
        CParamInterfaceMessage m("request-viz-data");
        add(m.i32(int32_t(client.clientId())).f64(1.0));
    }
    {
        CParamInterfaceMessage m("unlisten-viz");
        add(m.i32(41));
    }
    ASSERT_EQ(corpus.size(), 29u) << "every command but set-default-preset";

    CAudioParam& gain = param(kOutGain);
    auto snapshot = [&] {
        CWriteSeqBuffer state;
        EXPECT_EQ(master->acquirePreset(false, -1, -1, state), nullptr);
        std::vector<CString> names;
        int32_t current = 0;
        master->programNames(names, current, false);
        CString text = CString::fromInt(current);
        for (const CString& name : names)
            text += "|" + name;
        CAudioInterfaceBase* base = nullptr;
        EXPECT_EQ(wrapper->applicationObject()->findObjectChecked("plugin.interface-base", base), nullptr);
        std::vector<CString> labels;
        int32_t position = 0;
        base->labels(labels, position);
        for (const CString& label : labels)
            text += "/" + label;
        text += CString::format(" %d %zu %zu %g", position, base->paramListenerCount(),
                                base->openUndoDataCount(), gain.getValue(0, 0, 0.0));
        CByteBuffer bytes = state.join();
        return std::make_pair(text, bytes);
    };

    // Every well-formed command is accepted.
    for (const CByteBuffer& message : corpus) {
        CMemoryReader reader(message.data(), int32_t(message.size()));
        CError* error = baseConnector().processClientData(client.clientId(), reader);
        EXPECT_EQ(error, nullptr) << (error ? error->joined("\n").toUtf8() : std::string());
        qelErrRelease(error);
    }

    // The user default outlives the instance, so only a well-formed one is stored.
    {
        CParamInterfaceMessage m("set-default-preset");
        m.i32(registry).check(m.stream().write(preset.data(), uint32_t(preset.size())));
        const CByteBuffer message = build(m);
        CMemoryReader reader(message.data(), int32_t(message.size()));
        EXPECT_EQ(baseConnector().processClientData(client.clientId(), reader), nullptr);
    }

    std::mt19937 random(20261207);
    int32_t rejected = 0;
    for (int32_t i = 0; i < 4000; ++i) {
        const CByteBuffer message = mutate(corpus[random() % corpus.size()], random);
        const auto before = snapshot();
        CMemoryReader reader(message.data(), int32_t(message.size()));
        CError* error = baseConnector().processClientData(client.clientId(), reader);
        if (!error) continue;
        ++rejected;
        const std::string why = error->joined("\n").toUtf8();
        qelErrRelease(error);
        const auto after = snapshot();
        ASSERT_EQ(after.first, before.first) << "message " << i << ": " << why;
        ASSERT_EQ(after.second, before.second) << "message " << i << ": " << why;
    }
    EXPECT_GT(rejected, 1000);
    // The client's queue holds whatever the accepted ones answered; it must still be readable.
    editor.deliver();
}

TEST_F(ParamInterfaceFuzzTest, BrokenBaseMessagesFailCleanlyAndChangeNothingInTheClient) {
    SEditor& editor = openEditor();
    CAudioInterfaceClient& client = *editor.client;
    int32_t handle = 0, registry = 0;
    ASSERT_EQ(client.listenParam(kOutGain, nullptr, handle), nullptr);
    ASSERT_EQ(client.listenRegistry("plugin.param-registry", nullptr, registry), nullptr);
    editor.deliver();
    int32_t again = 0;
    ASSERT_EQ(client.listenParam(kOutGain, nullptr, again), nullptr);
    ASSERT_EQ(client.requestUndoHistory(), nullptr);
    ASSERT_EQ(client.requestExportSlotNames(), nullptr);
    ASSERT_EQ(client.requestSampleRate(), nullptr);
    ASSERT_EQ(client.requestIoChannelCounts(), nullptr);
    ASSERT_EQ(client.requestGroupCount(), nullptr);
    ASSERT_EQ(client.requestInternalChannelCount(), nullptr);
    ASSERT_EQ(client.setCurrentProgram(registry, 1), nullptr);
    ASSERT_EQ(client.listenViz(-1, "output-meter", 5), nullptr);
    process(0.5);
    process(0.5);
    ASSERT_EQ(client.requestVizData(0.0), nullptr);
    ASSERT_EQ(client.setParamValue(handle, 0, 0, 0, 0.5), nullptr);

    // Whatever the base sent, taken from the queue before the client reads it.
    std::vector<CByteBuffer> corpus;
    CByteBuffer message;
    while (baseConnector().takeMessage(client.clientId(), message))
        corpus.push_back(message);
    ASSERT_GE(corpus.size(), 14u);
    for (const CByteBuffer& valid : corpus) {
        CMemoryReader reader(valid.data(), int32_t(valid.size()));
        CError* error = client.handleMessage(reader);
        EXPECT_EQ(error, nullptr) << (error ? error->joined("\n").toUtf8() : std::string());
        qelErrRelease(error);
    }

    auto snapshot = [&] {
        CString text = CString::format("%d %d %d %d %d %g %d ", client.internalChannelCount(),
                                       client.groupCount(), client.inputCount(), client.outputCount(),
                                       client.sidechainCount(), client.sampleRate(), client.undoPosition());
        for (const CString& label : client.undoLabels())
            text += label + "/";
        for (const CString& name : client.exportSlotNames())
            text += name + "/";
        for (const CString& name : client.groupNames())
            text += name + "/";
        if (const SRegistryState* state = client.registryState(registry)) {
            text += CString::format("%d %d ", state->currentProgram, int32_t(state->programNames.size()));
            for (const CString& name : state->programNames)
                text += name + "|";
        }
        if (const auto* state = client.paramState(handle)) {
            text += CString::format("info %d ", state->info ? 1 : 0);
            for (int32_t i = 0; i < 4; ++i)
                text += CString::format("%g ", client.paramValue(handle, 0, i, -7.0));
            text += CString::format("%g", state->common.getValue(0, 0, -7.0));
        }
        return text;
    };

    std::mt19937 random(7);
    int32_t rejected = 0;
    for (int32_t i = 0; i < 4000; ++i) {
        const CByteBuffer broken = mutate(corpus[random() % corpus.size()], random);
        const CString before = snapshot();
        CMemoryReader reader(broken.data(), int32_t(broken.size()));
        CError* error = client.handleMessage(reader);
        if (!error) continue;
        ++rejected;
        qelErrRelease(error);
        ASSERT_EQ(snapshot(), before) << "message " << i;
    }
    EXPECT_GT(rejected, 1000);
}

} // namespace
} // namespace qel::test
