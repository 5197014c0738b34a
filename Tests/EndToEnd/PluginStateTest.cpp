#include <random>
#include <string>
#include <vector>

#include "EndToEnd/PluginHost.h"

namespace qel::test {
namespace {

using PluginStateTest = PluginTest;

std::vector<std::string> displays(CVstPluginHost& host) {
    std::vector<std::string> texts;
    for (int32_t i = 0; i < host.numParams(); ++i)
        texts.push_back(host.paramDisplay(i));
    return texts;
}

TEST_F(PluginStateTest, ChunksCarryTheirKindAfterSixteenZeroBytes) {
    load();
    for (bool preset : {false, true}) {
        const std::vector<uint8_t> chunk = host.chunk(preset);
        ASSERT_GT(chunk.size(), 24u);
        EXPECT_EQ(std::vector<uint8_t>(chunk.begin(), chunk.begin() + 16), std::vector<uint8_t>(16, 0));
        EXPECT_EQ(std::string(chunk.begin() + 16, chunk.begin() + 20), preset ? "aprs" : "abnk");
    }
}

TEST_F(PluginStateTest, ABankChunkRestoresAFreshInstance) {
    load();
    host.setProgram(3);
    set("OutGain", "-4.5");
    set("Model", "12AX7");
    set("Bypass", "On");
    char name[64] = "My bass";
    host.dispatcher(effSetProgramName, 0, 0, name);
    const std::vector<uint8_t> bank = host.chunk(false);
    const std::vector<std::string> shown = displays(host);

    CVstPluginHost fresh;
    ASSERT_TRUE(fresh.load(EMBERLINE_PLUGIN_PATH));
    fresh.open();
    ASSERT_TRUE(fresh.setChunk(bank, false));
    fresh.setProgram(3); // hosts restore the current program themselves
    EXPECT_EQ(fresh.program(), 3);
    EXPECT_EQ(displays(fresh), shown);
    for (int32_t p = 0; p < host.numPrograms(); ++p)
        EXPECT_EQ(fresh.programNameIndexed(p), host.programNameIndexed(p));
    EXPECT_EQ(fresh.programName(), "My bass");
    EXPECT_EQ(fresh.chunk(false), bank) << "the state round-trips byte for byte";
    fresh.close();
}

TEST_F(PluginStateTest, APresetChunkRestoresTheCurrentProgram) {
    load();
    set("EQHi", "3.5");
    const std::vector<uint8_t> preset = host.chunk(true);
    const std::vector<std::string> shown = displays(host);
    set("EQHi", "-2");
    ASSERT_TRUE(host.setChunk(preset, true));
    EXPECT_EQ(displays(host), shown);
    EXPECT_FALSE(host.setChunk(preset, false)) << "a preset is no bank";
}

TEST_F(PluginStateTest, DamagedChunksAreRefusedWithoutAnyChange) {
    load();
    set("OutGain", "2");
    const std::vector<uint8_t> good = host.chunk(false);
    const std::vector<uint8_t> before = host.chunk(false);

    EXPECT_TRUE(host.setChunk(std::vector<uint8_t>(16, 7), false)) << "a header alone changes nothing";
    EXPECT_FALSE(host.setChunk(std::vector<uint8_t>(good.begin(), good.begin() + 17), false));
    EXPECT_FALSE(host.setChunk(std::vector<uint8_t>(good.begin(), good.end() - 5), false));
    std::vector<uint8_t> flipped = good;
    flipped[good.size() - 8] ^= 0x10;
    EXPECT_FALSE(host.setChunk(flipped, false));
    EXPECT_EQ(host.chunk(false), before);

    std::mt19937 random(1234);
    for (int round = 0; round < 10000; ++round) {
        std::vector<uint8_t> chunk = good;
        switch (round % 4) {
        case 0: // random bytes of random length
            chunk.resize(random() % 200);
            for (uint8_t& b : chunk)
                b = uint8_t(random());
            break;
        case 1: // a few flipped bytes
            for (int k = 0; k < 3; ++k)
                chunk[16 + random() % (chunk.size() - 16)] ^= uint8_t(1 + random() % 255);
            break;
        case 2: // cut short
            chunk.resize(16 + random() % (chunk.size() - 16));
            break;
        default: // damaged header of the compressed block
            chunk[16 + random() % 12] = uint8_t(random());
            break;
        }
        if (host.setChunk(chunk, round % 2 == 0)) {
            // Accepted (a header alone): put the known state back.
            ASSERT_TRUE(host.setChunk(good, false));
        }
        ASSERT_EQ(host.chunk(false), before) << "round " << round;
    }
    EXPECT_EQ(host.chunk(false), before);
}

TEST_F(PluginStateTest, PaddedAndEmptyChunksAreAccepted) {
    load();
    set("OutGain", "2");
    const std::vector<uint8_t> bank = host.chunk(false);
    const std::vector<uint8_t> preset = host.chunk(true);
    set("OutGain", "-5");
    const std::vector<uint8_t> edited = host.chunk(false);
    ASSERT_NE(edited, bank);

    // Hosts pad chunks to 4 or 8 bytes, or hand back a larger buffer holding anything after the block.
    std::mt19937 random(99);
    for (size_t extra : {1, 3, 4, 7, 8, 100, 70000}) {
        SCOPED_TRACE(extra);
        std::vector<uint8_t> padded = bank;
        padded.resize(bank.size() + extra, 0);
        ASSERT_TRUE(host.setChunk(padded, false));
        EXPECT_EQ(host.chunk(false), bank);
        ASSERT_TRUE(host.setChunk(edited, false));
        for (size_t i = bank.size(); i < padded.size(); ++i)
            padded[i] = uint8_t(random());
        ASSERT_TRUE(host.setChunk(padded, false)) << "only the block is read";
        EXPECT_EQ(host.chunk(false), bank);
        ASSERT_TRUE(host.setChunk(edited, false));
    }
    std::vector<uint8_t> paddedPreset = preset;
    paddedPreset.resize(preset.size() + 8, 0);
    ASSERT_TRUE(host.setChunk(paddedPreset, true));
    EXPECT_EQ(host.paramDisplay(paramIndex("OutGain")), "2.0");
    ASSERT_TRUE(host.setChunk(edited, false));

    // Padding does not hide a block without its end: the stream's own trailer is still checked.
    std::vector<uint8_t> cut(bank.begin(), bank.end() - 4);
    cut.resize(bank.size() + 4, 0);
    EXPECT_FALSE(host.setChunk(cut, false));
    std::vector<uint8_t> wrongEnd = bank;
    wrongEnd.back() ^= 1;
    wrongEnd.resize(bank.size() + 8, 0);
    EXPECT_FALSE(host.setChunk(wrongEnd, false));
    EXPECT_EQ(host.chunk(false), edited);

    // An empty chunk as a null pointer is a header-less chunk like any of 16 bytes or fewer.
    EXPECT_EQ(host.dispatcher(effSetChunk, 0, 0, nullptr), 1);
    EXPECT_EQ(host.dispatcher(effSetChunk, 1, 0, nullptr), 1);
    EXPECT_EQ(host.dispatcher(effSetChunk, 0, 16, nullptr), 1);
    EXPECT_EQ(host.dispatcher(effSetChunk, 0, 17, nullptr), 0) << "no data where a block must be";
    EXPECT_EQ(host.dispatcher(effSetChunk, 0, -1, nullptr), 0);
    EXPECT_EQ(host.chunk(false), edited);
}

TEST_F(PluginStateTest, TheHostSeesTheFactoryProgramsAndSwitchesBetweenThem) {
    load();
    ASSERT_GE(host.numPrograms(), 8);
    EXPECT_EQ(host.programNameIndexed(0), "Default");
    std::vector<std::string> names;
    for (int32_t p = 0; p < host.numPrograms(); ++p)
        names.push_back(host.programNameIndexed(p));
    EXPECT_EQ(names[4], "12AX7 drive");
    EXPECT_EQ(host.paramDisplay(paramIndex("Model")), "12AT7");
    host.setProgram(4);
    EXPECT_EQ(host.programName(), "12AX7 drive");
    EXPECT_EQ(host.paramDisplay(paramIndex("Model")), "12AX7");
    EXPECT_EQ(host.paramDisplay(paramIndex("Oversmp")), "4X");
    EXPECT_EQ(host.paramDisplay(paramIndex("OutGain")), "-4.0");
    bool displayUpdate = false;
    for (const auto& call : host.callbackLog())
        displayUpdate |= call.opcode == audioMasterUpdateDisplay;
    EXPECT_FALSE(displayUpdate) << "the host's own program change is not echoed";
}

} // namespace
} // namespace qel::test
