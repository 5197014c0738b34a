#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "Audio/AllocationCounter.h"
#include "Audio/CAudioEnv.h"
#include "Audio/Params/CAudioParamRegistry.h"
#include "Audio/Params/CAudioPreset.h"
#include "Audio/Params/CAudioPresetBank.h"
#include "Audio/VST/HostPattern.h"
#include "Audio/VST/WrapperInstance.h"
#include "Core/CWriteSeqBuffer.h"
#include "UI/CAppDataGroup.h"
#include "UI/CAppDataLocal.h"

namespace qel::test {
namespace {

TEST(HostPatternTest, StarsAndQuestionMarksCoverTheWholeName) {
    EXPECT_TRUE(qelHostPatternMatch("*PREMIERE*", "ADOBE PREMIERE PRO"));
    EXPECT_TRUE(qelHostPatternMatch("*PREMIERE*", "PREMIERE"));
    EXPECT_FALSE(qelHostPatternMatch("*PREMIERE*", "PREMIER"));
    EXPECT_TRUE(qelHostPatternMatch("WAVE?AB", "WAVELAB"));
    EXPECT_FALSE(qelHostPatternMatch("WAVE?AB", "WAVEAB"));
    EXPECT_TRUE(qelHostPatternMatch("*A*B*", "XAYYBZ"));
    EXPECT_FALSE(qelHostPatternMatch("*A*B", "XAYYBZ"));
    EXPECT_TRUE(qelHostPatternMatch("*", ""));
    EXPECT_FALSE(qelHostPatternMatch("", "X"));
    EXPECT_TRUE(qelHostPatternMatch("*CAKEWALK*", "CAKEWALK BY BANDLAB"));
}

using CAudioWrapperVSTTest = WrapperInstanceTest;

TEST_F(CAudioWrapperVSTTest, FunctionLockFollowsTheHostAndTheExactSetting) {
    EXPECT_FALSE(create().hasFunctionSyncLock());
    TearDown();
    SetUp();
    host.product = "WaveLab 11";
    EXPECT_TRUE(create().hasFunctionSyncLock());
    TearDown();
    SetUp();
    host.product = "Test Host";
    CAppDataGroup::instance().setText("vst-func-sync", "TRUE", nullptr);
    EXPECT_FALSE(create().hasFunctionSyncLock()) << "only the lower-case word counts";
    TearDown();
    SetUp();
    CAppDataGroup::instance().setText("vst-func-sync", "true", nullptr);
    EXPECT_TRUE(create().hasFunctionSyncLock());
    CAppDataGroup::instance().setText("vst-func-sync", "0", nullptr);
}

TEST_F(CAudioWrapperVSTTest, HostRulesForChannelNamesAndFocus) {
    EXPECT_TRUE(create().isChannelNamesNotify());
    EXPECT_TRUE(CAudioWrapperVST::focusOnClick());
    TearDown();
    SetUp();
    host.vendor = "Twelve Tone Systems";
    host.product = "Cubase";
    CAudioWrapperVST& wrapper = create();
    EXPECT_FALSE(wrapper.isChannelNamesNotify());
    EXPECT_FALSE(CAudioWrapperVST::focusOnClick());
}

TEST_F(CAudioWrapperVSTTest, ForceTwoChannelsSettingOverridesTheProduct) {
    CAppDataGroup::instance().setText("force-2ch", "true", nullptr);
    create();
    EXPECT_EQ(effect->numInputs, 2);
    CAppDataGroup::instance().setText("force-2ch", "0", nullptr);
}

TEST_F(CAudioWrapperVSTTest, SpeakerNamesBecomeInputChannelNames) {
    CAudioWrapperVST& wrapper = create();
    EXPECT_EQ(wrapper.inputChannelNames().size(), 8u);
    EXPECT_EQ(wrapper.inputChannelNames()[2], "IN3");
    VstSpeakerArrangement in{}, out{};
    in.numChannels = out.numChannels = 3;
    snprintf(in.speakers[0].name, 64, "?");
    snprintf(in.speakers[1].name, 64, "Centre Front");
    ASSERT_EQ(effect->dispatcher(effect, effSetSpeakerArrangement, 0, intptr_t(&in), &out, 0), 1);
    const std::vector<CString> expected = {"L", "Centre ", "IN3"};
    EXPECT_EQ(wrapper.inputChannelNames(), expected);
}

// Records where in the host block each MIDI event was applied.
class CRecordingWrapper : public CAudioWrapperVST {
public:
    using CAudioWrapperVST::CAudioWrapperVST;
    void onMidiEvent(const SAudioEvent& event) override {
        applied.push_back({event.position, env()->currentTime});
    }
    CAudioEnv* env() {
        return static_cast<CAudioEnv*>(pluginObject()->root()->findObject("plugin.audio-env"));
    }
    std::vector<std::pair<int32_t, double>> applied;
};

TEST_F(CAudioWrapperVSTTest, BlocksAreCutAt512FramesAndAtEvents) {
    auto* wrapper = new CRecordingWrapper(SScriptedHost::callback);
    ASSERT_EQ(wrapper->init(), nullptr);
    effect = wrapper->getAeffect();
    effect->dispatcher(effect, effSetSampleRate, 0, 0, nullptr, 48000);
    effect->dispatcher(effect, effMainsChanged, 0, 1, nullptr, 0);
    CAudioEnv* env = wrapper->env();
    std::vector<float> in(1000, 0.0f), out(1000);
    std::vector<float*> ins(size_t(effect->numInputs), in.data()),
        outs(size_t(effect->numOutputs), out.data());

    double start = env->currentTime;
    effect->processReplacing(effect, ins.data(), outs.data(), 1000);
    EXPECT_NEAR((env->blockEndTime - start) * 48000, 512, 1e-6) << "first sub-block";
    EXPECT_NEAR((env->currentTime - start) * 48000, 1000, 1e-6);

    VstMidiEvent note{
        kVstMidiType, sizeof(VstMidiEvent), 100, 0, 0, 0, {char(0x91), 60, char(200), 0}, 0, 0, 0, 0};
    VstEvent other{kVstSysExType, sizeof(VstEvent), 50, 0, {}};
    struct {
        int32_t numEvents;
        intptr_t reserved;
        VstEvent* events[2];
    } events{2, 0, {&other, reinterpret_cast<VstEvent*>(&note)}};
    EXPECT_EQ(effect->dispatcher(effect, effProcessEvents, 0, 0, &events, 0), 1);
    start = env->currentTime;
    effect->processReplacing(effect, ins.data(), outs.data(), 300);
    EXPECT_NEAR((env->blockEndTime - start) * 48000, 100, 1e-6) << "cut at the event";
    ASSERT_EQ(wrapper->applied.size(), 1u) << "only MIDI events are queued";
    EXPECT_EQ(wrapper->applied[0].first, 100);
    EXPECT_NEAR((wrapper->applied[0].second - start) * 48000, 100, 1e-6);
    EXPECT_NEAR((env->currentTime - start) * 48000, 300, 1e-6);
}

TEST_F(CAudioWrapperVSTTest, ResumeAsksForTheProcessLevelAndFollowsOfflineWork) {
    CAudioWrapperVST& wrapper = create();
    host.processLevel = kVstProcessLevelOffline;
    effect->dispatcher(effect, effSetSampleRate, 0, 0, nullptr, 44100);
    effect->dispatcher(effect, effMainsChanged, 0, 1, nullptr, 0);
    EXPECT_EQ(wrapper.hostOversamplingMode(), 2) << "level 1 at 44.1 kHz";
    host.processLevel = kVstProcessLevelRealtime;
    std::vector<float> in(64), out(64);
    std::vector<float*> ins(size_t(effect->numInputs), in.data()),
        outs(size_t(effect->numOutputs), out.data());
    effect->processReplacing(effect, ins.data(), outs.data(), 64);
    EXPECT_EQ(wrapper.hostOversamplingMode(), 0) << "real time: the product's automatic mode";
}

TEST_F(CAudioWrapperVSTTest, TheUserDefaultPresetIsProgramZeroOfANewInstance) {
    // Take a preset of an edited instance and store it as the user's default.
    CAudioWrapperVST& first = create();
    first.setParameter(10, 0.25f);
    CWriteSeqBuffer preset;
    ASSERT_EQ(first.paramRegistry()->acquirePreset(false, -1, -1, preset), nullptr);
    CAppDataLocal::instance().set("default-preset", preset.join(), nullptr, CAudioPreset::kResourceType);
    TearDown();
    SetUp();

    CAudioWrapperVST& second = create();
    EXPECT_TRUE(second.paramRegistry()->hasUserDefault());
    EXPECT_FLOAT_EQ(second.getParameter(10), 0.25f) << "applied before the host sees the instance";
    char name[64] = {};
    second.getProgramNameIndexed(0, 1, name);
    EXPECT_STREQ(name, "Gentle bus warmth") << "only program 0 is replaced";
    CAppDataLocal::instance().set("default-preset", {}, nullptr, CAudioPreset::kResourceType);
}

TEST_F(CAudioWrapperVSTTest, ABankChunkWithMoreProgramsThanTheInstanceReplacesOnlyItsOwn) {
    CAudioWrapperVST& wrapper = create();
    const int32_t programs = effect->numPrograms;
    ASSERT_GE(programs, 2);
    CAudioPresetBank bank;
    bank.setName("Larger");
    for (int32_t p = 0; p < programs + 5; ++p)
        bank.addPreset().setName(CString("QLEM:Saved ") + CString::fromInt(p));
    CWriteSeqBuffer content;
    ASSERT_EQ(bank.save(content), nullptr);
    CWriteSeqBuffer chunk;
    const int32_t reserved[4] = {};
    ASSERT_EQ(chunk.write(reserved, sizeof reserved), nullptr);
    ASSERT_EQ(chunk.writeCompressedData(content.join(), CAudioPresetBank::kResourceType), nullptr);
    CByteBuffer bytes = chunk.join();

    EXPECT_EQ(effect->dispatcher(effect, effSetChunk, 0, intptr_t(bytes.size()), bytes.data(), 0), 1);
    EXPECT_EQ(effect->numPrograms, programs);
    EXPECT_EQ(wrapper.paramRegistry()->programCount(), programs);
    char name[64] = {};
    for (int32_t p = 0; p < programs; ++p) {
        wrapper.getProgramNameIndexed(0, p, name);
        EXPECT_EQ(std::string(name), "Saved " + std::to_string(p));
    }
    wrapper.getProgramNameIndexed(0, programs, name);
    EXPECT_STREQ(name, "");
    void* data = nullptr;
    EXPECT_GT(effect->dispatcher(effect, effGetChunk, 0, 0, &data, 0), 0) << "the bank is whole";
}

TEST_F(CAudioWrapperVSTTest, SteadyHostBlocksAllocateNothing) {
    create();
    effect->dispatcher(effect, effSetSampleRate, 0, 0, nullptr, 48000);
    effect->dispatcher(effect, effMainsChanged, 0, 1, nullptr, 0);
    std::vector<double> in(1000), out(1000);
    for (size_t i = 0; i < in.size(); ++i)
        in[i] = 0.5 * std::sin(0.05 * double(i));
    std::vector<double*> ins(size_t(effect->numInputs), in.data()),
        outs(size_t(effect->numOutputs), out.data());
    for (int b = 0; b < 4; ++b)
        effect->processDoubleReplacing(effect, ins.data(), outs.data(), 1000);
    host.calls.reserve(host.calls.size() + 4096); // the scripted host's own log
    SAllocationCounter::allocations = 0;
    SAllocationCounter::counting = true;
    for (int b = 0; b < 16; ++b)
        effect->processDoubleReplacing(effect, ins.data(), outs.data(), 1000);
    SAllocationCounter::counting = false;
    EXPECT_EQ(SAllocationCounter::allocations, 0u);
}

// Oversampling switches are built beside the audio thread and smooth changes fade into spare modules:
// the audio thread only swaps pointers, however the settings change.
TEST_F(CAudioWrapperVSTTest, SettingChangesAllocateNothingOnTheAudioThread) {
    CAudioWrapperVST& plugin = create();
    effect->dispatcher(effect, effSetSampleRate, 0, 0, nullptr, 48000);
    effect->dispatcher(effect, effMainsChanged, 0, 1, nullptr, 0);
    // A stereo track: the other buffers are silent and go idle, as they do in a host.
    std::vector<double> in(512), silence(512, 0.0), out(512);
    for (size_t i = 0; i < in.size(); ++i)
        in[i] = 0.5 * std::sin(0.05 * double(i));
    std::vector<double*> ins(size_t(effect->numInputs), silence.data()),
        outs(size_t(effect->numOutputs), out.data());
    ins[0] = ins[1] = in.data();
    for (int b = 0; b < 4; ++b)
        effect->processDoubleReplacing(effect, ins.data(), outs.data(), 512);
    host.calls.reserve(host.calls.size() + 65536);
    const int32_t latency = effect->initialDelay;
    auto normalized = [&](int32_t index, const char* text) {
        char buffer[64] = {};
        snprintf(buffer, sizeof buffer, "%s", text);
        EXPECT_EQ(plugin.vendorSpecific(27, index, buffer, 0), 0xBEEF);
        return std::stof(buffer);
    };
    const std::pair<int32_t, const char*> changes[] = {{1, "8X"}, {2, "1"},   {0, "On"}, {0, "Off"},
                                                       {1, "2X"}, {10, "-3"}, {1, "1X"}, {1, "4X"}};
    SAllocationCounter::allocations = 0;
    for (const auto& [index, text] : changes) {
        effect->setParameter(effect, index, normalized(index, text));
        // Long enough for the worker to build, the new path to fill and the fade to end.
        for (int b = 0; b < 80; ++b) {
            SAllocationCounter::counting = true;
            effect->processDoubleReplacing(effect, ins.data(), outs.data(), 512);
            SAllocationCounter::counting = false;
            for (double v : out)
                ASSERT_TRUE(std::isfinite(v));
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        EXPECT_EQ(SAllocationCounter::allocations, 0u) << "after " << text;
        EXPECT_EQ(effect->initialDelay, latency);
    }
    char display[64] = {};
    effect->dispatcher(effect, effGetParamDisplay, 1, 0, display, 0);
    EXPECT_STREQ(display, "4X");
}

} // namespace
} // namespace qel::test
