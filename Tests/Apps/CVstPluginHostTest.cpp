#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <numbers>
#include <string>
#include <vector>

#include "VstHost/CVstPluginHost.h"

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QEL_APPS_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define QEL_APPS_ASAN 1
#endif
#ifdef QEL_APPS_ASAN
#include <sanitizer/lsan_interface.h>
#endif

namespace qel {
namespace {

// Vendor calls of the fake plug-in (Tests/Apps/FakePlugin).
enum : int32_t {
    kQueryEvents = 1,
    kQueryTime = 2,
    kQueryHostVendor = 3,
    kQueryHostProduct = 4,
    kQueryEntryVersion = 5,
    kQueryProcessLevel = 6,
    kQueryAutomate = 7,
};

bool libraryIsLoaded(const std::string& path) {
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (handle) dlclose(handle);
    return handle != nullptr;
}

// Two channels of float audio with the pointer arrays the ABI wants.
struct SStereo {
    std::vector<float> left, right;
    float* pointers[2];
    explicit SStereo(size_t frames) : left(frames), right(frames), pointers{left.data(), right.data()} {}
};

void expectWorkingRealPlugin(const std::string& path, const char* entry) {
#ifdef QEL_APPS_ASAN
    // LSP's library leaks a few blocks of its own; they are not the host's to answer for.
    __lsan::ScopedDisabler ignoreThirdPartyLeaks;
#endif
    CVstPluginHost host;
    ASSERT_TRUE(host.load(path)) << host.error();
    EXPECT_EQ(host.entryName(), entry);
    EXPECT_EQ(host.effect()->magic, kEffectMagic);
    host.open();
    EXPECT_FALSE(host.effectName().empty());
    EXPECT_FALSE(host.vendorString().empty());
    ASSERT_GT(host.numParams(), 0);
    for (int32_t i = 0; i < host.numParams(); ++i)
        EXPECT_FALSE(host.paramName(i).empty()) << "parameter " << i;

    host.setSampleRate(48000);
    host.setBlockSize(256);
    host.mainsChanged(true);
    host.startProcess();
    SStereo in(256), out(256);
    for (size_t i = 0; i < 256; ++i)
        in.left[i] = in.right[i] = float(0.5 * std::sin(2 * std::numbers::pi * 440 * double(i) / 48000));
    std::vector<float*> inputs(size_t(host.numInputs()), in.left.data());
    std::vector<float*> outputs(size_t(host.numOutputs()));
    std::vector<std::vector<float>> outputChannels(outputs.size(), std::vector<float>(256, NAN));
    for (size_t c = 0; c < outputs.size(); ++c)
        outputs[c] = outputChannels[c].data();
    ASSERT_TRUE(host.canProcessFloat());
    host.processFloat(inputs.data(), outputs.data(), 256);
    for (const auto& channel : outputChannels)
        for (float sample : channel)
            ASSERT_TRUE(std::isfinite(sample));
    EXPECT_EQ(host.samplePosition(), 256);
    host.stopProcess();
    host.close();
    EXPECT_FALSE(host.isLoaded());
    host.close();
}

TEST(CVstPluginHostTest, DrivesDebianPlugins) {
#if !defined(QEL_DPF_PLUGIN) && !defined(QEL_LSP_PLUGIN)
    GTEST_SKIP() << "no dpf-plugins-vst or lsp-plugins-vst plug-in installed";
#endif
#ifdef QEL_DPF_PLUGIN
    // DPF exports only the legacy entry name.
    expectWorkingRealPlugin(QEL_DPF_PLUGIN, "main");
#endif
#ifdef QEL_LSP_PLUGIN
    expectWorkingRealPlugin(QEL_LSP_PLUGIN, "VSTPluginMain");
#endif
}

TEST(CVstPluginHostTest, ReportsWhyAPluginCannotBeUsed) {
    CVstPluginHost host;
    EXPECT_FALSE(host.load("/nonexistent/x.so"));
    EXPECT_EQ(host.error().rfind("cannot load '/nonexistent/x.so': ", 0), 0u) << host.error();

    EXPECT_FALSE(host.load(QEL_FAKE_NO_ENTRY));
    EXPECT_EQ(host.error(), "'" QEL_FAKE_NO_ENTRY "' has no VSTPluginMain or main entry");
    EXPECT_FALSE(libraryIsLoaded(QEL_FAKE_NO_ENTRY));

    EXPECT_FALSE(host.load(QEL_FAKE_NULL_EFFECT));
    EXPECT_EQ(host.error(), "'" QEL_FAKE_NULL_EFFECT "': plug-in entry returned no effect");
    EXPECT_FALSE(libraryIsLoaded(QEL_FAKE_NULL_EFFECT));

    EXPECT_FALSE(host.load(QEL_FAKE_BAD_MAGIC));
    EXPECT_NE(host.error().find("bad magic 0x4e6f7065"), std::string::npos) << host.error();
    EXPECT_FALSE(host.isLoaded());
    EXPECT_TRUE(host.entryName().empty());
}

TEST(CVstPluginHostTest, IsSafeWithoutAPluginAndClosesOnce) {
    CVstPluginHost host;
    float* none[2] = {nullptr, nullptr};
    EXPECT_EQ(host.dispatcher(effGetVendorVersion), 0);
    EXPECT_EQ(host.paramName(0), "");
    EXPECT_EQ(host.parameter(0), 0.f);
    EXPECT_TRUE(host.chunk(false).empty());
    host.setParameter(0, 1);
    host.processFloat(none, none, 16);
    host.mainsChanged(true);
    EXPECT_EQ(host.samplePosition(), 0);
    host.close();

    ASSERT_TRUE(host.load(QEL_FAKE_PLUGIN)) << host.error();
    using LiveProc = int (*)();
    void* handle = dlopen(QEL_FAKE_PLUGIN, RTLD_NOW | RTLD_NOLOAD);
    ASSERT_NE(handle, nullptr);
    auto live = reinterpret_cast<LiveProc>(dlsym(handle, "qelFakeLiveInstances"));
    ASSERT_NE(live, nullptr);
    EXPECT_EQ(live(), 1);
    host.open();
    host.mainsChanged(true);
    host.close();
    // effClose reached the plug-in while its library was still there.
    EXPECT_EQ(live(), 0);
    dlclose(handle);
    EXPECT_FALSE(libraryIsLoaded(QEL_FAKE_PLUGIN));
    host.close();
    EXPECT_EQ(host.dispatcher(effGetVendorVersion), 0);

    {
        CVstPluginHost scoped;
        ASSERT_TRUE(scoped.load(QEL_FAKE_PLUGIN));
    }
    EXPECT_FALSE(libraryIsLoaded(QEL_FAKE_PLUGIN));
}

TEST(CVstPluginHostTest, FindsTheLegacyEntryAndAnswersTheVersionDuringIt) {
    CVstPluginHost host;
    ASSERT_TRUE(host.load(QEL_FAKE_LEGACY)) << host.error();
    EXPECT_EQ(host.entryName(), "main");
    EXPECT_EQ(host.vendorSpecific(kQueryEntryVersion, 0, nullptr, 0), 2400);

    host.setHostVersion(2300);
    ASSERT_TRUE(host.load(QEL_FAKE_PLUGIN)) << host.error();
    EXPECT_EQ(host.entryName(), "VSTPluginMain");
    EXPECT_EQ(host.vendorSpecific(kQueryEntryVersion, 0, nullptr, 0), 2300);
    ASSERT_FALSE(host.callbackLog().empty());
    EXPECT_EQ(host.callbackLog().front().opcode, audioMasterVersion);
}

TEST(CVstPluginHostTest, RoutesEachInstanceToItsOwnHost) {
    // The legacy variant is a separate library, so the two instances do not share statics.
    CVstPluginHost first, second;
    first.setHostVendor("First");
    second.setHostVendor("Second");
    second.setHostProduct(std::nullopt);
    ASSERT_TRUE(first.load(QEL_FAKE_PLUGIN));
    ASSERT_TRUE(second.load(QEL_FAKE_LEGACY));

    char text[64] = {};
    EXPECT_EQ(second.vendorSpecific(kQueryHostVendor, 0, text, 0), 1);
    EXPECT_STREQ(text, "Second");
    EXPECT_EQ(first.vendorSpecific(kQueryHostVendor, 0, text, 0), 1);
    EXPECT_STREQ(text, "First");
    EXPECT_EQ(first.vendorSpecific(kQueryHostProduct, 0, text, 0), 1);
    EXPECT_STREQ(text, "emberline-render");
    std::strcpy(text, "untouched");
    EXPECT_EQ(second.vendorSpecific(kQueryHostProduct, 0, text, 0), 0);
    EXPECT_STREQ(text, "untouched");

    first.clearCallbackLog();
    second.clearCallbackLog();
    second.vendorSpecific(kQueryProcessLevel, 0, nullptr, 0);
    EXPECT_TRUE(first.callbackLog().empty());
    EXPECT_EQ(second.callbackLog().size(), 1u);
}

TEST(CVstPluginHostTest, TellsTimeProcessLevelAndLogsEdits) {
    CVstPluginHost host;
    ASSERT_TRUE(host.load(QEL_FAKE_PLUGIN));
    host.open();
    host.setSampleRate(44100);
    host.setTempo(90);
    EXPECT_EQ(host.vendorSpecific(kQueryProcessLevel, 0, nullptr, 0), kVstProcessLevelRealtime);
    host.setProcessLevel(kVstProcessLevelOffline);
    EXPECT_EQ(host.vendorSpecific(kQueryProcessLevel, 0, nullptr, 0), kVstProcessLevelOffline);

    SStereo in(1000), out(1000);
    host.processFloat(in.pointers, out.pointers, 1000);
    VstTimeInfo time{};
    ASSERT_EQ(host.vendorSpecific(kQueryTime, 0, &time, 0), 1);
    EXPECT_EQ(time.samplePos, 1000);
    EXPECT_EQ(time.sampleRate, 44100);
    EXPECT_EQ(time.tempo, 90);
    EXPECT_NEAR(time.ppqPos, 1000.0 / 44100 * 1.5, 1e-12);
    EXPECT_EQ(time.timeSigNumerator, 4);
    EXPECT_TRUE(time.flags & kVstTempoValid);
    host.setTimeFlags(0);
    ASSERT_EQ(host.vendorSpecific(kQueryTime, 0, &time, 0), 1);
    EXPECT_EQ(time.flags, 0);

    host.clearCallbackLog();
    EXPECT_EQ(host.vendorSpecific(kQueryAutomate, 1, nullptr, 0.75f), 0); // no window to size
    auto log = host.callbackLog();
    ASSERT_EQ(log.size(), 4u);
    EXPECT_EQ(log[0].opcode, audioMasterBeginEdit);
    EXPECT_EQ(log[1].opcode, audioMasterAutomate);
    EXPECT_EQ(log[1].index, 1);
    EXPECT_EQ(log[1].opt, 0.75f);
    EXPECT_EQ(log[2].opcode, audioMasterEndEdit);
    EXPECT_EQ(log[3].opcode, audioMasterSizeWindow);
    EXPECT_EQ(log[3].index, 640);
    EXPECT_EQ(log[3].value, 480);
    host.clearCallbackLog();
    EXPECT_TRUE(host.callbackLog().empty());
}

TEST(CVstPluginHostTest, ReReadsTheLatencyOnResumeAfterIOChanged) {
    CVstPluginHost host;
    ASSERT_TRUE(host.load(QEL_FAKE_PLUGIN));
    host.open();
    host.mainsChanged(true);
    EXPECT_EQ(host.latency(), 0);
    EXPECT_FALSE(host.ioChangedPending());

    host.setParameter(1, 0.4f);
    EXPECT_TRUE(host.ioChangedPending());
    EXPECT_EQ(host.callbackLog().back().opcode, audioMasterIOChanged);
    EXPECT_EQ(host.latency(), 0);
    host.mainsChanged(false);
    host.mainsChanged(true);
    EXPECT_EQ(host.latency(), 40);
    EXPECT_FALSE(host.ioChangedPending());
}

TEST(CVstPluginHostTest, ProcessesBothPrecisionsThroughChannelArrays) {
    CVstPluginHost host;
    ASSERT_TRUE(host.load(QEL_FAKE_PLUGIN));
    host.open();
    EXPECT_TRUE(host.canProcessDouble());
    EXPECT_TRUE(host.setProcessPrecision(true));
    host.setParameter(0, 0.75f); // gain 1.5
    host.mainsChanged(true);

    SStereo in(64), out(64);
    for (size_t i = 0; i < 64; ++i) {
        in.left[i] = float(i) / 64;
        in.right[i] = -float(i) / 128;
    }
    host.processFloat(in.pointers, out.pointers, 64);
    for (size_t i = 0; i < 64; ++i) {
        EXPECT_FLOAT_EQ(out.left[i], 1.5f * in.left[i]);
        EXPECT_FLOAT_EQ(out.right[i], 1.5f * in.right[i]);
    }

    std::vector<double> left(8, 0.25), right(8, -0.5), outLeft(8), outRight(8);
    double* inputs[2] = {left.data(), right.data()};
    double* outputs[2] = {outLeft.data(), outRight.data()};
    host.processDouble(inputs, outputs, 8);
    EXPECT_DOUBLE_EQ(outLeft[7], 0.375);
    EXPECT_DOUBLE_EQ(outRight[7], -0.75);
    EXPECT_EQ(host.samplePosition(), 72);
}

TEST(CVstPluginHostTest, ReadsProgramsChunksStringsAndSendsMidi) {
    CVstPluginHost host;
    ASSERT_TRUE(host.load(QEL_FAKE_PLUGIN));
    host.open();
    EXPECT_EQ(host.effectName(), "Fake");
    EXPECT_EQ(host.vendorString(), "Qel Test");
    EXPECT_EQ(host.paramName(1), "Delay");
    EXPECT_EQ(host.paramLabel(1), "smp");
    EXPECT_EQ(host.paramDisplay(0), "1.00");
    EXPECT_EQ(host.plugCategory(), kPlugCategEffect);
    EXPECT_EQ(host.canDo("receiveVstMidiEvent"), 1);
    EXPECT_EQ(host.canDo("sendVstMidiEvent"), -1);

    EXPECT_EQ(host.numPrograms(), 2);
    EXPECT_EQ(host.programNameIndexed(1), "Half");
    host.setProgram(1);
    EXPECT_EQ(host.program(), 1);
    EXPECT_EQ(host.programName(), "Half");
    EXPECT_EQ(host.parameter(0), 0.25f);

    std::vector<uint8_t> chunk = host.chunk(false);
    ASSERT_EQ(chunk.size(), 2 * sizeof(float));
    float values[2] = {0.125f, 0.5f};
    std::memcpy(chunk.data(), values, sizeof values);
    EXPECT_TRUE(host.setChunk(chunk, false));
    EXPECT_EQ(host.parameter(0), 0.125f);
    EXPECT_EQ(host.parameter(1), 0.5f);
    EXPECT_FALSE(host.setChunk({1, 2, 3}, false));

    std::vector<VstMidiEvent> notes;
    for (uint8_t note = 60; note < 65; ++note)
        notes.push_back(CVstPluginHost::midiEvent(note - 60, 0x90, note, 100));
    EXPECT_EQ(notes[4].type, kVstMidiType);
    EXPECT_EQ(notes[4].byteSize, int32_t(sizeof(VstMidiEvent)));
    EXPECT_EQ(uint8_t(notes[4].midiData[1]), 64);
    EXPECT_EQ(host.sendMidi(notes), 1);
    EXPECT_EQ(host.sendMidi({}), 1);
    EXPECT_EQ(host.vendorSpecific(kQueryEvents, 0, nullptr, 0), 5);
}

} // namespace
} // namespace qel
