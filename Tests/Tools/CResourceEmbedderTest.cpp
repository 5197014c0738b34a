#include "ResourceEmbedder/CResourceEmbedder.h"

#include <cstring>
#include <gtest/gtest.h>
#include <sstream>

#include "Core/CApplication.h"
#include "Core/CObject.h"
#include "DefinitionCompiler/CDefinitionCompiler.h"
#include "ResourceEmbedder/EmbeddedResources.h"
#include "Support/TempDir.h"

using namespace qel;

namespace {

std::string dataFile(const char* name) {
    return test::readWholeFile(std::string(QEL_TOOLS_TEST_DATA) + "/" + name);
}

uint32_t countWord(const uint8_t* block) {
    return uint32_t(block[0]) | uint32_t(block[1]) << 8 | uint32_t(block[2]) << 16 | uint32_t(block[3]) << 24;
}

} // namespace

// The table below was generated at build time by qel_embed_resources (see Tests/CMakeLists.txt).
TEST(CResourceEmbedderTest, BuildTimeTableHoldsEveryFileInOrder) {
    std::string tree = test::readWholeFile(QEL_TOOLS_TEST_TREE);
    const std::pair<const char*, std::string> files[] = {
        {"../../../Gfx/Fonts/base.fnt", dataFile("Tricky.txt")},
        {"empty", dataFile("Empty.bin")},
        {"bytes/all.bin", dataFile("AllBytes.bin")},
        {"ToolsRoundTrip.xml", tree},
    };
    ASSERT_FALSE(files[0].second.empty());
    ASSERT_EQ(files[2].second.size(), 526u);
    ASSERT_TRUE(files[1].second.empty());

    size_t index = 0;
    for (; g_embeddedResources[index].block; ++index) {
        ASSERT_LT(index, std::size(files));
        const SEmbeddedResource& entry = g_embeddedResources[index];
        const std::string& bytes = files[index].second;
        EXPECT_STREQ(entry.name, files[index].first);
        EXPECT_EQ(reinterpret_cast<uintptr_t>(entry.block) % 4, 0u) << entry.name;
        ASSERT_EQ(countWord(entry.block), bytes.size()) << entry.name;
        EXPECT_EQ(std::memcmp(entry.block + 4, bytes.data(), bytes.size()), 0) << entry.name;
    }
    EXPECT_EQ(index, std::size(files));
    EXPECT_EQ(g_embeddedResources[index].name, nullptr);

    std::vector<uint8_t> direct;
    std::string failure;
    ASSERT_TRUE(
        CDefinitionCompiler::compile(dataFile("ToolsRoundTrip.xml"), "ToolsRoundTrip.xml", direct, failure));
    EXPECT_EQ(tree, std::string(direct.begin(), direct.end()));
}

TEST(CResourceEmbedderTest, EmbeddedDefinitionsLoadIntoObjects) {
    ASSERT_EQ(CApplication::startup({qelCoreClassTable()}, g_embeddedResources, CString()), nullptr);
    CObject* root = nullptr;
    CError* error = CApplication::initRootObject("ToolsRoundTrip.xml", root);
    ASSERT_EQ(error, nullptr) << error->joined("\n").toUtf8();
    CObject* audio = root->findObject("audio");
    ASSERT_NE(audio, nullptr);
    EXPECT_EQ(audio->getAttr("title"), "Emberline");
    EXPECT_EQ(audio->getAttr("symbol").toUtf8(), "\xE2\x82\xAC");
    ASSERT_NE(root->findObject("audio.content"), nullptr);
    EXPECT_EQ(root->findObject("audio.content")->getAttr("value"), "Warm");
    ASSERT_NE(root->findObject("audio.meter"), nullptr);
    EXPECT_EQ(root->findObject("audio.meter")->getAttr("scale"), "2");

    CObject* knob = nullptr;
    error = audio->createChild("knob", "k", true, nullptr, knob);
    ASSERT_EQ(error, nullptr) << error->joined("\n").toUtf8();
    EXPECT_EQ(knob->getAttr("size"), "10");
    ASSERT_NE(knob->findObject(".cap"), nullptr);
    EXPECT_EQ(knob->findObject(".cap")->getAttr("title"), "Cap");
    CApplication::releaseRootObject(root);
    CApplication::shutdown();
}

TEST(CResourceEmbedderTest, ArgumentsFilesAndSourceShape) {
    CResourceEmbedder::SResource resource;
    std::string failure;
    ASSERT_TRUE(CResourceEmbedder::parseArgument("../Gfx/a=b.fnt=/tmp/x=y", resource, failure));
    EXPECT_EQ(resource.name, "../Gfx/a");
    EXPECT_EQ(resource.path, "b.fnt=/tmp/x=y");
    for (const char* bad : {"no-equals", "=path", "name="}) {
        EXPECT_FALSE(CResourceEmbedder::parseArgument(bad, resource, failure)) << bad;
        EXPECT_EQ(failure, "expected name=path, got \"" + std::string(bad) + "\"");
    }

    test::TempDir dir;
    std::ofstream(dir.file("big.bin"), std::ios::binary) << std::string(1000, '\xFF') + "\"\\";
    std::string source;
    ASSERT_TRUE(CResourceEmbedder::generate({{"a", dir.file("big.bin")}}, source, failure));
    // Every line stays short even when every byte needs an escape.
    std::istringstream lines(source);
    size_t longest = 0, count = 0;
    for (std::string line; std::getline(lines, line); ++count)
        longest = std::max(longest, line.size());
    EXPECT_LE(longest, 140u);
    EXPECT_GT(count, 1000u / 32);

    EXPECT_FALSE(CResourceEmbedder::generate({{"a", dir.file("big.bin")}, {"a", dir.file("big.bin")}}, source,
                                             failure));
    EXPECT_EQ(failure, "resource name \"a\" given twice");
    EXPECT_FALSE(
        CResourceEmbedder::writeSourceFile(dir.file("out.cpp"), {{"a", dir.file("missing")}}, failure));
    EXPECT_EQ(failure, dir.file("missing") + ": cannot read the file");
    EXPECT_FALSE(std::filesystem::exists(dir.file("out.cpp")));
}
