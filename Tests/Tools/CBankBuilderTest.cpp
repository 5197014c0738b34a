#include <gtest/gtest.h>

#include "Audio/Params/CAudioParamStorage.h"
#include "Audio/Params/CAudioPresetBank.h"
#include "BankBuilder/CBankBuilder.h"
#include "Core/CMemoryReader.h"
#include "Support/ErrorText.h"
#include "Support/TempDir.h"

namespace qel {
namespace {

std::string failureOf(const std::string& xml) {
    uint32_t type = 0;
    std::vector<uint8_t> block;
    std::string failure;
    EXPECT_FALSE(CBankBuilder::build(xml, "Banks.xml", type, block, failure));
    return failure;
}

TEST(CBankBuilderTest, WritesBanksThatTheRuntimeReadsBack) {
    test::TempDir dir;
    const std::string source = dir.file("Models.xml");
    std::ofstream(source) << "<banks type=\"alst\">\n"
                             "  <bank name=\"Tubes\">\n"
                             "    <preset name=\"QLKR:A\" mu=\"42.4\" mult=\"0.8501586931874368\"/>\n"
                             "    <preset name=\"QLKR:B\"/>\n"
                             "  </bank>\n"
                             "  <bank name=\"Second\"/>\n"
                             "</banks>\n";
    std::string failure;
    ASSERT_TRUE(CBankBuilder::buildFile(source, dir.file("out/models.bin"), failure)) << failure;

    CAudioPresetBank bank;
    ASSERT_EQ(test::firstLine(bank.loadFile(CString::fromUtf8(dir.file("out/models.bin")))),
              "'" + dir.file("out/models.bin") + "' holds no bank.")
        << "a list is not a bank file";
    uint32_t type = 0;
    std::vector<uint8_t> block;
    std::ifstream in(source);
    const std::string xml((std::istreambuf_iterator<char>(in)), {});
    ASSERT_TRUE(CBankBuilder::build(xml, "Models.xml", type, block, failure));
    EXPECT_EQ(type, CAudioPresetBank::kListType);
    CMemoryReader reader(block);
    bool found = false;
    ASSERT_EQ(CAudioPresetBank::loadFirstOfList(reader, bank, found), nullptr);
    EXPECT_EQ(bank.name(), "Tubes");
    ASSERT_EQ(bank.presetCount(), 2);
    EXPECT_EQ(bank.preset(1)->entries().size(), 0u);
    CMemoryReader entry(bank.preset(0)->entries().at("mult"));
    CAudioParamStorage storage;
    storage.setShape(1, 0, false, false);
    ASSERT_EQ(storage.load(entry), nullptr);
    EXPECT_EQ(storage.getValue(0, 0, 0), 0.8501586931874368) << "every digit kept";

    ASSERT_TRUE(CBankBuilder::build("<banks type=\"abnk\"><bank name=\"F\"/></banks>", "F.xml", type, block,
                                    failure));
    EXPECT_EQ(type, CAudioPresetBank::kResourceType);
}

TEST(CBankBuilderTest, ListsAreElementsAndDecibelsAreAmplitudes) {
    uint32_t type = 0;
    std::vector<uint8_t> block;
    std::string failure;
    ASSERT_TRUE(
        CBankBuilder::build("<banks type=\"abnk\"><bank name=\"F\">"
                            "<preset name=\"QLEM:P\" shelves=\"-6dB,20dB\" index=\"3\"/></bank></banks>",
                            "F.xml", type, block, failure))
        << failure;
    CMemoryReader reader(block);
    CAudioPresetBank bank;
    ASSERT_EQ(bank.load(reader), nullptr);
    CMemoryReader entry(bank.preset(0)->entries().at("shelves"));
    CAudioParamStorage storage;
    storage.setShape(1, 0, false, false);
    ASSERT_EQ(storage.load(entry), nullptr);
    ASSERT_EQ(storage.elementCount(0), 2);
    EXPECT_NEAR(storage.getValue(0, 0, 0), 0.501187, 1e-6);
    EXPECT_NEAR(storage.getValue(0, 1, 0), 10.0, 1e-12);
    EXPECT_EQ(failureOf("<banks type=\"alst\">\n<bank>\n<preset name=\"a\" g=\"1,,2\"/>\n</bank></banks>"),
              "Banks.xml:3: value \"1,,2\" of \"g\" is not a number");
    EXPECT_EQ(failureOf("<banks type=\"alst\">\n<bank>\n<preset name=\"a\" g=\"dB\"/>\n</bank></banks>"),
              "Banks.xml:3: value \"dB\" of \"g\" is not a number");
}

TEST(CBankBuilderTest, FailuresNameFileAndLine) {
    EXPECT_EQ(failureOf("<banks type=\"alst\">\n<bank>\n<preset name=\"a\" mu=\"4x\"/>\n</bank></banks>"),
              "Banks.xml:3: value \"4x\" of \"mu\" is not a number");
    EXPECT_EQ(failureOf("<banks type=\"alst\">\n<bank>\n<preset mu=\"4\"/>\n</bank></banks>"),
              "Banks.xml:3: preset without a name");
    EXPECT_EQ(failureOf("<banks type=\"list\"/>"), "Banks.xml:1: type must be \"alst\" or \"abnk\"");
    EXPECT_EQ(failureOf("<banks type=\"abnk\"/>"), "Banks.xml:1: an \"abnk\" file holds exactly one bank");
    EXPECT_EQ(failureOf("<banks type=\"alst\">\n<group/></banks>"), "Banks.xml:2: expected <bank>");
    EXPECT_EQ(failureOf("<banks type=\"alst\">\n<bank></banks>").rfind("Banks.xml:2: ", 0), 0u);
}

} // namespace
} // namespace qel
