#include <cstring>
#include <string>
#include <vector>

#include "EndToEnd/PluginHost.h"

namespace qel::test {
namespace {

using PluginParameterTest = PluginTest;

TEST_F(PluginParameterTest, ExposesElevenParametersWithNamesLabelsAndTexts) {
    load();
    struct SExpected {
        const char* name;
        const char* label;
        const char* display;
    };
    const SExpected expected[] = {
        {"Bypass", "", "Off"},    {"Oversmp", "", "1X"},    {"Model", "", "12AT7"},   {"Mode", "", "Omni"},
        {"VParam", "dB", "-6.0"}, {"IParam", "dB", "-6.0"}, {"EmphLo", "dB", "0.0"},  {"EmphHi", "dB", "0.0"},
        {"EQLo", "dB", "0.0"},    {"EQHi", "dB", "0.0"},    {"OutGain", "dB", "0.0"},
    };
    ASSERT_EQ(host.numParams(), 11);
    for (int32_t i = 0; i < 11; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(host.paramName(i), expected[i].name);
        EXPECT_EQ(host.paramLabel(i), expected[i].label);
        EXPECT_EQ(host.paramDisplay(i), expected[i].display);
    }
    EXPECT_EQ(host.paramName(11), "");
    EXPECT_EQ(host.paramDisplay(-1), "");
    EXPECT_EQ(host.parameter(11), 0.0f);
    host.setParameter(11, 0.5f);
}

// Hosts keep the whole 8-byte field of a parameter text, so nothing of an earlier text may stay behind
// the terminator; nothing is written past the field.
TEST_F(PluginParameterTest, ParameterTextsFillAllEightBytes) {
    load();
    auto expectField = [](const uint8_t* field, const std::string& text) {
        ASSERT_LE(text.size(), 7u);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(field), text.size()), text);
        for (size_t i = text.size(); i < 8; ++i)
            EXPECT_EQ(field[i], 0) << "byte " << i << " of '" << text << "'";
        for (size_t i = 8; i < 16; ++i)
            EXPECT_EQ(field[i], 0xEE) << "byte " << i << " of '" << text << "'";
    };
    for (int32_t index : {0, 4, 10, 11}) {
        SCOPED_TRACE(index);
        for (int32_t opcode : {effGetParamName, effGetParamLabel, effGetParamDisplay}) {
            uint8_t field[16];
            std::memset(field, 0xEE, sizeof field);
            host.dispatcher(opcode, index, 0, field);
            expectField(field, index < 11 ? std::string(reinterpret_cast<char*>(field)) : "");
        }
        uint8_t field[16];
        std::memset(field, 0xEE, sizeof field);
        host.vendorSpecific(7, index, field, 0.5f);
        if (index < 11) expectField(field, std::string(reinterpret_cast<char*>(field)));
    }
    // The text to value answer is a cut "%f", also in a field of its own.
    uint8_t field[16];
    std::memset(field, 0xEE, sizeof field);
    std::memcpy(field, "-3", 3);
    EXPECT_EQ(host.vendorSpecific(27, paramIndex("OutGain"), field, 0), 0xBEEF);
    expectField(field, std::string(reinterpret_cast<char*>(field)));
    EXPECT_EQ(std::string(reinterpret_cast<char*>(field)).size(), 7u);
}

TEST_F(PluginParameterTest, ConvertsTextsAndValuesTheWayTheEditorDoes) {
    load();
    // Text to value: the plug-in writes the normalised value as text.
    EXPECT_FLOAT_EQ(normalizedOf("Oversmp", "8X"), 1.0f);
    EXPECT_FLOAT_EQ(normalizedOf("Oversmp", "Auto"), 0.0f);
    EXPECT_FLOAT_EQ(normalizedOf("Bypass", "On"), 1.0f);
    // A rejected text gives the current value's position.
    EXPECT_FLOAT_EQ(normalizedOf("Oversmp", "nonsense"), host.parameter(paramIndex("Oversmp")));

    // Display of a given normalised value, not the current one.
    char text[64] = {};
    EXPECT_EQ(host.vendorSpecific(7, paramIndex("Oversmp"), text, 1.0f), 0xBEEF);
    EXPECT_STREQ(text, "8X");
    EXPECT_EQ(host.paramDisplay(paramIndex("Oversmp")), "1X");
    // One past the last parameter, and the last one.
    EXPECT_EQ(host.vendorSpecific(7, 11, text, 1.0f), 0xBEEF);
    EXPECT_STREQ(text, "");
    EXPECT_EQ(host.vendorSpecific(7, 10, text, 1.0f), 0xBEEF);
    EXPECT_STREQ(text, "12.0");
    EXPECT_EQ(host.vendorSpecific(7, -1, text, 1.0f), 0xBEEF);
    EXPECT_STREQ(text, "");
    snprintf(text, sizeof text, "8X");
    EXPECT_EQ(host.vendorSpecific(27, 11, text, 0), 0xBEEF);
    EXPECT_STREQ(text, "");
    snprintf(text, sizeof text, "-12");
    EXPECT_EQ(host.vendorSpecific(27, 10, text, 0), 0xBEEF);
    EXPECT_STREQ(text, "0.00000");

    set("Oversmp", "8X");
    set("OutGain", "-3");
    set("Bypass", "On");
    EXPECT_EQ(host.paramDisplay(paramIndex("Oversmp")), "8X");
    EXPECT_EQ(host.paramDisplay(paramIndex("OutGain")), "-3.0");
    EXPECT_EQ(host.paramDisplay(paramIndex("Bypass")), "On");
    EXPECT_FLOAT_EQ(host.parameter(paramIndex("Oversmp")), 1.0f);
}

TEST_F(PluginParameterTest, EveryTubeModelNameIsAccepted) {
    load();
    const int32_t model = paramIndex("Model");
    std::vector<std::string> names;
    for (int step = 0; step <= 100; ++step) {
        char text[64] = {};
        host.vendorSpecific(7, model, text, float(step) / 100.0f);
        if (std::string(text) != "Reserve" && (names.empty() || names.back() != text)) names.push_back(text);
    }
    ASSERT_GE(names.size(), 4u);
    for (size_t i = 0; i < names.size(); ++i) {
        const std::string& name = names[i];
        SCOPED_TRACE(name);
        // Texts that are whole numbers are state indices, so numbered models go by index.
        const bool numeric = name.find_first_not_of("0123456789") == std::string::npos;
        set("Model", numeric ? std::to_string(i) : name);
        EXPECT_EQ(host.paramDisplay(model), name);
    }
}

TEST_F(PluginParameterTest, ReportsItsOwnChangesToTheHostOnlyAfterStartUp) {
    load();
    bool automatedDuringStartUp = false;
    for (const auto& call : host.callbackLog())
        automatedDuringStartUp |= call.opcode == audioMasterAutomate;
    EXPECT_FALSE(automatedDuringStartUp);
    // A host change is not echoed back as automation.
    host.clearCallbackLog();
    host.setParameter(paramIndex("OutGain"), 0.25f);
    for (const auto& call : host.callbackLog())
        EXPECT_NE(call.opcode, audioMasterAutomate);
    EXPECT_FLOAT_EQ(host.parameter(paramIndex("OutGain")), 0.25f);
}

TEST_F(PluginParameterTest, ListsItsPrograms) {
    load();
    ASSERT_GE(host.numPrograms(), 1);
    EXPECT_EQ(host.program(), 0);
    EXPECT_EQ(host.programNameIndexed(0), host.programName());
    EXPECT_FALSE(host.programName().empty());
    host.setProgram(host.numPrograms());
    EXPECT_EQ(host.program(), 0) << "a program beyond the list is ignored";
    EXPECT_EQ(host.programNameIndexed(host.numPrograms()), "");
    EXPECT_FALSE(host.programNameIndexed(host.numPrograms() - 1).empty());
    host.setProgram(host.numPrograms() - 1);
    EXPECT_EQ(host.program(), host.numPrograms() - 1);
    char name[64] = "My take";
    host.dispatcher(effSetProgramName, 0, 0, name);
    EXPECT_EQ(host.programName(), "My take");
}

} // namespace
} // namespace qel::test
