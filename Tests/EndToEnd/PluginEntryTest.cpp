#include <cstdio>
#include <set>
#include <string>

#include "EndToEnd/PluginHost.h"

namespace qel::test {
namespace {

using PluginEntryTest = PluginTest;

TEST_F(PluginEntryTest, ExportsOnlyTheTwoEntryNames) {
    FILE* pipe = popen("nm -D --defined-only " EMBERLINE_PLUGIN_PATH, "r");
    ASSERT_NE(pipe, nullptr);
    std::set<std::string> functions;
    char line[512];
    while (fgets(line, sizeof line, pipe)) {
        char kind = 0;
        char name[400] = {};
        if (sscanf(line, "%*s %c %399s", &kind, name) == 2 && (kind == 'T' || kind == 'W'))
            functions.insert(name);
    }
    pclose(pipe);
    EXPECT_EQ(functions, (std::set<std::string>{"VSTPluginMain", "main"}));
}

TEST_F(PluginEntryTest, DescribesItselfToTheHost) {
    load();
    const AEffect* effect = host.effect();
    EXPECT_EQ(host.entryName(), "VSTPluginMain");
    EXPECT_EQ(effect->magic, kEffectMagic);
    EXPECT_EQ(effect->uniqueID, qelVstFourCC('2', '2', '2', 'l'));
    EXPECT_EQ(effect->version, 1);
    EXPECT_EQ(effect->flags,
              effFlagsHasEditor | effFlagsCanReplacing | effFlagsProgramChunks | effFlagsCanDoubleReplacing);
    EXPECT_EQ(effect->numParams, 11);
    EXPECT_GE(effect->numPrograms, 1);
    EXPECT_FLOAT_EQ(effect->ioRatio, 1.0f);
    EXPECT_EQ(host.effectName(), "Emberline");
    EXPECT_EQ(host.vendorString(), "Quelmar");
    EXPECT_EQ(host.productString(), "Quelmar Emberline");
    EXPECT_EQ(host.vendorVersion(), 2 * 65536 + 4 * 256);
    EXPECT_EQ(host.plugCategory(), kPlugCategEffect);
    EXPECT_EQ(host.dispatcher(effIdentify), qelVstFourCC('N', 'v', 'E', 'f'));
    EXPECT_EQ(host.dispatcher(effGetVstVersion), 2400);
}

TEST_F(PluginEntryTest, AnswersEveryOpcodeAsPublished) {
    load();
    char text[64] = "hasCockosExtensions";
    EXPECT_EQ(host.dispatcher(effCanDo, 0, 0, text), intptr_t(0xBEEF0000));
    for (const char* yes : {"receiveVstMidiEvent", "receiveVstTimeInfo"}) {
        snprintf(text, sizeof text, "%s", yes);
        EXPECT_EQ(host.dispatcher(effCanDo, 0, 0, text), 1) << yes;
    }
    for (const char* no : {"sendVstMidiEvent", "offline", "bypass", ""}) {
        snprintf(text, sizeof text, "%s", no);
        EXPECT_EQ(host.dispatcher(effCanDo, 0, 0, text), 0) << no;
    }
    EXPECT_EQ(host.dispatcher(effCanBeAutomated, 3), 1);
    EXPECT_EQ(host.dispatcher(effString2Parameter, 0, 0, text), 0);
    EXPECT_EQ(host.dispatcher(effGetProgramNameIndexed, 0, 0, text), 1);
    EXPECT_EQ(host.dispatcher(effSetBypass, 0, 1), 0);
    EXPECT_EQ(host.dispatcher(effGetTailSize), 0);
    EXPECT_EQ(host.dispatcher(effGetCurrentMidiProgram), -1);
    EXPECT_EQ(host.dispatcher(effSetTotalSampleToProcess, 0, 12345), 12345);
    EXPECT_EQ(host.dispatcher(effSetProcessPrecision, 0, 2), 0);
    EXPECT_EQ(host.dispatcher(effSetProcessPrecision, 0, kVstProcessPrecision64), 1);
    for (int32_t deprecated :
         {9,  16, 17, 18, 20, 21, 28, 30, 31, 32, 33, 34, 36, 37, 38, 39, 40, 41, 43, 46, 53,
          54, 55, 56, 57, 62, 64, 65, 66, 67, 68, 70, 71, 72, 74, 75, 76, 78, 79, 80, 200})
        EXPECT_EQ(host.dispatcher(deprecated), 0) << deprecated;

    // The editor's size is known before it opens, and needs no display.
    ERect* rect = nullptr;
    ASSERT_EQ(host.dispatcher(effEditGetRect, 0, 0, &rect), 1);
    EXPECT_EQ(rect->right, 614);
    EXPECT_EQ(rect->bottom, 163);
    EXPECT_EQ(
        host.vendorSpecific(qelVstFourCC('s', 't', 'C', 'A'), qelVstFourCC('W', 'h', 'e', 'e'), nullptr, 1),
        1);
    EXPECT_EQ(
        host.vendorSpecific(qelVstFourCC('s', 't', 'C', 'a'), qelVstFourCC('W', 'h', 'e', 'e'), nullptr, 1),
        1);
    EXPECT_EQ(host.vendorSpecific(qelVstFourCC('s', 't', 'C', 'A'), 1, nullptr, 1), 0);
    EXPECT_EQ(host.vendorSpecific(7, 0, nullptr, 0.5f), 0);

    VstSpeakerArrangement* in = reinterpret_cast<VstSpeakerArrangement*>(1);
    VstSpeakerArrangement* out = reinterpret_cast<VstSpeakerArrangement*>(1);
    EXPECT_EQ(host.dispatcher(effGetSpeakerArrangement, 0, intptr_t(&in), &out), 0);
    EXPECT_EQ(in, nullptr);
    EXPECT_EQ(out, nullptr);
}

TEST_F(PluginEntryTest, HostsThatCannotTakeManyChannelsGetTwo) {
    struct SCase {
        intptr_t version;
        const char* product;
        int32_t channels;
    };
    const SCase cases[] = {
        {2400, "Some DAW", 8},           {2300, "Some DAW", 8},       {2200, "Some DAW", 2},
        {2400, "Sony ACID Pro", 2},      {2400, "sony acid pro", 2},  {2400, "Sony ACID Pro 7", 8},
        {2400, "Adobe Premiere Pro", 2}, {2400, "...premiere...", 2},
    };
    for (const SCase& c : cases) {
        SCOPED_TRACE(c.product + std::string(" ") + std::to_string(c.version));
        CVstPluginHost local;
        local.setHostVersion(c.version);
        local.setHostProduct(std::string(c.product));
        ASSERT_TRUE(local.load(EMBERLINE_PLUGIN_PATH)) << local.error();
        EXPECT_EQ(local.numInputs(), c.channels);
        EXPECT_EQ(local.numOutputs(), c.channels);
        local.close();
    }
}

TEST_F(PluginEntryTest, AHostThatAnswersNoVersionGetsNoEffect) {
    host.setHostVersion(0);
    EXPECT_FALSE(host.load(EMBERLINE_PLUGIN_PATH));
}

TEST_F(PluginEntryTest, AcceptsOnlySymmetricSpeakerArrangements) {
    load();
    auto arrangement = [](int32_t channels) {
        VstSpeakerArrangement a{};
        a.numChannels = channels;
        return a;
    };
    auto offer = [&](int32_t ins, int32_t outs) {
        VstSpeakerArrangement in = arrangement(ins), out = arrangement(outs);
        return host.dispatcher(effSetSpeakerArrangement, 0, intptr_t(&in), &out);
    };
    EXPECT_EQ(offer(2, 1), 0) << "this product's inputs and outputs are symmetric";
    EXPECT_EQ(offer(1, 3), 0);
    EXPECT_EQ(offer(0, 0), 0);
    EXPECT_EQ(offer(9, 9), 0) << "more than the plug-in's channels";
    EXPECT_EQ(offer(8, 8), 1) << "all of them";
    EXPECT_EQ(offer(2, 2), 1);
    VstSpeakerArrangement* in = nullptr;
    VstSpeakerArrangement* out = nullptr;
    ASSERT_EQ(host.dispatcher(effGetSpeakerArrangement, 0, intptr_t(&in), &out), 1);
    EXPECT_EQ(in->numChannels, 2);
    EXPECT_EQ(out->numChannels, 2);
    EXPECT_EQ(offer(2, 1), 0);
    ASSERT_EQ(host.dispatcher(effGetSpeakerArrangement, 0, intptr_t(&in), &out), 1);
    EXPECT_EQ(out->numChannels, 2) << "a refused pair leaves the stored one";
}

TEST_F(PluginEntryTest, WorksInTheCallOrdersOfRealHosts) {
    ASSERT_TRUE(host.load(EMBERLINE_PLUGIN_PATH)) << host.error();
    // Before effOpen, as some scanners do.
    host.setSampleRate(96000);
    host.setBlockSize(256);
    EXPECT_EQ(host.dispatcher(effIdentify), qelVstFourCC('N', 'v', 'E', 'f'));
    EXPECT_EQ(host.plugCategory(), kPlugCategEffect);
    host.open();
    host.dispatcher(effMainsChanged, 0, 1);
    host.mainsChanged(true);
    EXPECT_EQ(host.latency(), 3114);
    std::vector<std::vector<float>> input(2, sine(1000, 0.5, 96000, 4096));
    const auto output = render(input, 256);
    double energy = 0;
    for (float v : output[0])
        energy += double(v) * v;
    EXPECT_GT(energy, 1.0);
    host.mainsChanged(false);
    host.close();
}

} // namespace
} // namespace qel::test
