#include <gtest/gtest.h>

#include <cctype>
#include <set>
#include <sstream>
#include <string>

#include "Audio/Params/CAudioPresetBank.h"
#include "Audio/ProductStartup.h"
#include "Core/CApplication.h"
#include "Core/CMemoryReader.h"
#include "Core/CObject.h"
#include "ResourceEmbedder/EmbeddedResources.h"
#include "UI/CAppDataLocal.h"

namespace qel {
namespace {

TEST(SharedDataTest, EmbeddedDefinitionsStartTheApplicationAndInstancesShareThem) {
    ASSERT_EQ(qelProductStartup(g_embeddedResources), nullptr);
    CObject* shared = CObject::sharedObject();
    ASSERT_NE(shared, nullptr);
    CObject* project = shared->findObject("shared::project");
    ASSERT_NE(project, nullptr);
    EXPECT_EQ(project->getAttr("app-name"), "Emberline");
    EXPECT_EQ(project->getAttr("app-version"), "2.4");
    EXPECT_EQ(project->getAttrInt("window-width"), 614);
    EXPECT_EQ(project->getAttrInt("window-height"), 163);
    EXPECT_EQ(project->getAttrInt("plugin-group-count"), 8);
    EXPECT_EQ(shared->findObject("shared::audio")->getAttr("plugin-tag"), "plugin");
    // Release notes, newest first, each with its notes.
    CObject* newest = shared->findObject("shared::whatsnew");
    ASSERT_NE(newest, nullptr);
    EXPECT_EQ(newest->getAttr("version"), project->getAttr("app-version"));
    EXPECT_FALSE(newest->findObject(".p.content")->getAttr("value").isEmpty());

    CObject* first = nullptr;
    CObject* second = nullptr;
    ASSERT_EQ(CApplication::initRootObject(CString(), first), nullptr);
    ASSERT_EQ(CApplication::initRootObject(CString(), second), nullptr);
    CObject* plugins[2] = {nullptr, nullptr};
    ASSERT_EQ(first->createChild("plugin", "plugin", true, nullptr, plugins[0]), nullptr);
    ASSERT_EQ(second->createChild("plugin", "plugin", true, nullptr, plugins[1]), nullptr);
    EXPECT_NE(plugins[0], plugins[1]);
    EXPECT_NE(first->treeContext(), second->treeContext());
    ASSERT_EQ(plugins[0]->setAttr("marker", "one", true), nullptr);
    EXPECT_FALSE(plugins[1]->hasAttr("marker"));
    EXPECT_EQ(plugins[0]->findObject("shared::project"), plugins[1]->findObject("shared::project"));
    EXPECT_EQ(CApplication::liveTreeContexts(), 2u);

    CApplication::releaseRootObject(first);
    CApplication::releaseRootObject(second);
    CApplication::shutdown();
}

// Every word of the release notes that looks like a tube name ("12AX7", "EL34", "6550") names one of
// the factory tube models, and no note offers a mid/side mode while the product routes no channels.
TEST(SharedDataTest, ReleaseNotesNameOnlyWhatTheProductHas) {
    ASSERT_EQ(qelProductStartup(g_embeddedResources), nullptr);
    CByteBuffer list;
    ASSERT_TRUE(CAppDataLocal::instance().get("koren-presets", qelFourCC("alst"), list));
    CMemoryReader reader(std::move(list));
    CAudioPresetBank models;
    bool found = false;
    ASSERT_EQ(CAudioPresetBank::loadFirstOfList(reader, models, found), nullptr);
    ASSERT_TRUE(found);
    std::set<std::string> modelNames;
    for (int32_t m = 0; m < models.presetCount(); ++m) {
        const std::string name = models.preset(m)->name().toUtf8();
        modelNames.insert(name.substr(name.find(':') + 1));
    }
    ASSERT_GE(modelNames.size(), 7u);

    CObject* shared = CObject::sharedObject();
    const bool routes = shared->findObject("shared::project")->getAttrBool("use-routing");
    std::set<std::string> named;
    int32_t notes = 0;
    for (CObject* child : shared->children()) {
        if (child->name().toUtf8().rfind("whatsnew", 0) != 0) continue;
        for (CObject* note : child->children()) {
            std::string text = note->findObject(".content")->getAttr("value").toUtf8();
            ++notes;
            std::string folded = text;
            for (char& c : folded)
                c = char(std::tolower(uint8_t(c)));
            if (!routes) {
                EXPECT_EQ(folded.find("mid/side"), std::string::npos) << text;
            }
            for (char& c : text)
                if (!std::isalnum(uint8_t(c))) c = ' ';
            std::istringstream words(text);
            for (std::string word; words >> word;) {
                const bool digits = word.find_first_of("0123456789") != std::string::npos;
                const bool upper = word.find_first_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ") != std::string::npos;
                const bool lower = word.find_first_of("abcdefghijklmnopqrstuvwxyz") != std::string::npos;
                if (digits && !lower && word.size() >= 3 && (upper || word.size() == 4)) named.insert(word);
            }
        }
    }
    EXPECT_GT(notes, 0);
    for (const std::string& word : named)
        EXPECT_TRUE(modelNames.count(word)) << word << " is no tube model of the product";
    CApplication::shutdown();
}

} // namespace
} // namespace qel
