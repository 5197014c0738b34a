#include "Core/CDefinitionLoader.h"

#include <fstream>
#include <gtest/gtest.h>

#include "Core/CApplication.h"
#include "Core/CAttrDoubler.h"
#include "Core/CObject.h"
#include "Core/CResourceRegistry.h"
#include "Support/CompiledTree.h"
#include "Support/ErrorText.h"
#include "Support/LogCapture.h"
#include "Support/TempDir.h"
#include <cstring>

using namespace qel;

namespace {

// root: audio (title, flag=false, text "Warm"), template "knob" (class core:object, size=10,
// child "cap" with title "{/^ size}"), and a flag=false on the root.
test::CompiledTree sampleTree() {
    test::CompiledTree t;
    t.strings = {"",          "flag",    "false", "core:object", "audio",       "title",
                 "Emberline", "content", "value", "Warm",        "template",    "knob",
                 "size",      "10",      "cap",   "{/^ size}",   "\xE2\x82\xAC"};
    t.element({{"flag", "false"}});
    t.u16(2);
    t.child("core:object", "audio");
    t.element({{"title", "Emberline"}, {"flag", "false"}, {"value", "\xE2\x82\xAC"}});
    t.u16(1);
    t.child("content", "content");
    t.element({{"value", "Warm"}});
    t.u16(0);
    t.child("template", "knob");
    t.u8(1);
    t.u16(t.s("core:object"));
    test::CompiledTree body;
    body.strings = t.strings;
    body.u32(t.s("core:object"));
    body.element({{"size", "10"}});
    body.u16(1);
    body.child("core:object", "cap");
    body.element({{"title", "{/^ size}"}});
    body.u16(0);
    t.u32(uint32_t(body.nodes.size()));
    t.nodes.insert(t.nodes.end(), body.nodes.begin(), body.nodes.end());
    return t;
}

class CDefinitionLoaderTest : public ::testing::Test {
protected:
    void start(const std::vector<std::pair<const char*, const std::vector<uint8_t>*>>& resources) {
        for (auto& [name, block] : resources)
            table.push_back({name, block->data()});
        table.push_back({nullptr, nullptr});
        ASSERT_EQ(CApplication::startup({qelCoreClassTable()}, table.data(), CString()), nullptr);
    }
    void TearDown() override { CApplication::shutdown(); }

    std::vector<SEmbeddedResource> table;
};

} // namespace

TEST_F(CDefinitionLoaderTest, LoadsElementsTextTemplatesAndInstantiatesThem) {
    std::vector<uint8_t> block = sampleTree().block();
    start({{"Sample.xml", &block}});
    test::LogCapture log;
    CObject* root = nullptr;
    ASSERT_EQ(test::firstLine(CApplication::initRootObject("Sample.xml", root)), "");
    ASSERT_NE(root, nullptr);
    EXPECT_FALSE(root->hasAttr("flag")) << "false never creates an attribute";
    CObject* audio = root->findObject("audio");
    ASSERT_NE(audio, nullptr);
    EXPECT_EQ(audio->getAttr("title"), "Emberline");
    EXPECT_FALSE(audio->hasAttr("flag"));
    EXPECT_EQ(audio->getAttr("value").toUtf8(), "\xE2\x82\xAC");
    EXPECT_TRUE(audio->getAttr("value").isWide());
    EXPECT_EQ(root->findObject("audio.content")->getAttr("value"), "Warm");
    EXPECT_EQ(audio->state(), uint32_t(CObject::Loaded));
    EXPECT_EQ(root->state(), uint32_t(CObject::Loaded));
    ASSERT_EQ(log.lines.size(), 1u);
    EXPECT_EQ(log.lines[0].toUtf8().rfind("loadXMLData \"Sample.xml\" init time: ", 0), 0u);

    std::map<CString, CString> overrides{{"size", "20"}};
    CObject* knob = nullptr;
    ASSERT_EQ(test::firstLine(audio->createChild("knob", "k", true, &overrides, knob)), "");
    EXPECT_EQ(knob->tag(), "knob");
    EXPECT_EQ(knob->getAttr("size"), "20") << "override after the template's own value";
    CObject* cap = knob->findObject(".cap");
    ASSERT_NE(cap, nullptr);
    EXPECT_EQ(cap->getAttr("title"), "20");
    CObject* plain = nullptr;
    ASSERT_EQ(audio->createChild("knob", "k", true, nullptr, plain), nullptr);
    EXPECT_EQ(plain->name(), "k#1");
    EXPECT_EQ(plain->getAttr("size"), "10");

    CObject* none = nullptr;
    EXPECT_EQ(test::firstLine(audio->createChild("slider", "s", true, nullptr, none)),
              "Run-time template 'slider' does not exist.");
    CAttrDoubler* wrongClass = nullptr;
    EXPECT_EQ(test::firstLine(audio->createChild("knob", "x", true, nullptr, wrongClass)),
              "Object of invalid class created (child tag 'knob', child name 'x').");
    EXPECT_EQ(audio->findObject(".x"), nullptr) << "the wrong object is destroyed";
    CApplication::releaseRootObject(root);
}

TEST_F(CDefinitionLoaderTest, RootsAreIndependentButShareTheSharedObject) {
    std::vector<uint8_t> block = sampleTree().block();
    start({{"Sample.xml", &block}});
    int32_t before = CApplication::instanceCounter();
    CObject *first = nullptr, *second = nullptr;
    ASSERT_EQ(CApplication::initRootObject("Sample.xml", first), nullptr);
    ASSERT_EQ(CApplication::initRootObject("Sample.xml", second), nullptr);
    EXPECT_EQ(CApplication::instanceCounter(), before + 2);
    EXPECT_NE(first->treeContext(), second->treeContext());
    ASSERT_EQ(first->findObject("audio")->setAttr("title", "changed", true), nullptr);
    EXPECT_EQ(second->findObject("audio")->getAttr("title"), "Emberline");
    CObject* shared = CObject::sharedObject();
    EXPECT_EQ(first->findObject("shared::"), shared);
    EXPECT_EQ(second->findObject("shared::"), shared);
    EXPECT_FALSE(first->isReadOnly());
    EXPECT_EQ(first->findObject("audio")->serial(), second->findObject("audio")->serial())
        << "serials count per tree";
    size_t live = CApplication::liveTreeContexts();
    CApplication::releaseRootObject(first);
    CApplication::releaseRootObject(second);
    EXPECT_EQ(CApplication::liveTreeContexts(), live - 2);
}

TEST_F(CDefinitionLoaderTest, FilesAreReadWhenNoResourceHasTheNameAndResourcesShadowFiles) {
    test::TempDir dir;
    std::string path = dir.file("Sample.xml");
    std::vector<uint8_t> bytes = sampleTree().bytes();
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));

    test::CompiledTree empty;
    empty.strings = {"", "title", "embedded"};
    empty.element({{"title", "embedded"}});
    empty.u16(0);
    std::vector<uint8_t> shadow = empty.block();
    std::string shadowed = dir.file("Shadowed.xml");
    std::ofstream(shadowed, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    start({{"placeholder", &shadow}});
    table.clear();

    CObject* root = nullptr;
    ASSERT_EQ(test::firstLine(CApplication::initRootObject(CString::fromUtf8(path), root)), "");
    CObject* knob = nullptr;
    ASSERT_EQ(root->findObject("audio")->createChild("knob", "k", true, nullptr, knob), nullptr);
    EXPECT_EQ(knob->findObject(".cap")->getAttr("title"), "10") << "template bodies copied from the file";
    CApplication::releaseRootObject(root);

    std::vector<SEmbeddedResource> shadowTable = {{"", shadow.data()}, {nullptr, nullptr}};
    std::string shadowName = shadowed;
    shadowTable[0].name = shadowName.c_str();
    CResourceRegistry::registerTable(shadowTable.data());
    ASSERT_EQ(CApplication::initRootObject(CString::fromUtf8(shadowed), root), nullptr);
    EXPECT_EQ(root->getAttr("title"), "embedded");
    EXPECT_TRUE(root->children().empty());
    CApplication::releaseRootObject(root);

    EXPECT_EQ(test::firstLine(CApplication::initRootObject(CString::fromUtf8(dir.file("none.xml")), root)),
              "Unable to open file '" + dir.file("none.xml") + "' for reading (error 2).");
}

TEST_F(CDefinitionLoaderTest, FalseOverridesExistingValuesAndTruncatedDataFails) {
    std::vector<uint8_t> block = sampleTree().block();
    std::vector<uint8_t> truncated = block;
    truncated.resize(truncated.size() - 7);
    uint32_t size = uint32_t(truncated.size() - 4);
    std::memcpy(truncated.data(), &size, 4);
    start({{"Sample.xml", &block}, {"Truncated.xml", &truncated}});

    CObject* root = nullptr;
    ASSERT_EQ(CApplication::initRootObject(CString(), root), nullptr);
    EXPECT_EQ(root->state(), uint32_t(CObject::Completed)) << "an empty root runs its phases";
    ASSERT_EQ(root->setAttr("flag", "true", true), nullptr);
    ASSERT_EQ(root->loadXMLData("Sample.xml", false), nullptr);
    EXPECT_EQ(root->getAttr("flag"), "false");

    CObject* other = nullptr;
    CError* error = CApplication::initRootObject("Truncated.xml", other);
    ASSERT_NE(error, nullptr);
    EXPECT_EQ(error->line(0).toUtf8().rfind("Premature end of memory resource while ", 0), 0u);
    EXPECT_EQ(error->line(0), "Premature end of memory resource while skipping (pos 58, count 26, size 77).");
    bool namesTheTemplate = false;
    for (int i = 0; i < error->count(); ++i)
        namesTheTemplate |= error->line(i).endsWith(" ) // knob");
    EXPECT_TRUE(namesTheTemplate);
    qelErrRelease(error);
    EXPECT_EQ(other, nullptr);
    CApplication::releaseRootObject(root);

    CApplication::shutdown();
    EXPECT_EQ(test::firstLine(CApplication::initRootObject(CString(), other)), "No shared object created.");
    ASSERT_EQ(CApplication::startup({qelCoreClassTable()}, nullptr, CString()), nullptr);
    EXPECT_EQ(test::firstLine(CApplication::initSharedObject(CString())), "Shared object already exists.");
    EXPECT_EQ(test::firstLine(CApplication::startup({qelCoreClassTable()}, nullptr, CString())),
              "Creator for 'core:object' has already been registered.");
}
