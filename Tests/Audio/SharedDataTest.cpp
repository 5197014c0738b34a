#include <gtest/gtest.h>

#include "Audio/ProductStartup.h"
#include "Core/CApplication.h"
#include "Core/CObject.h"
#include "ResourceEmbedder/EmbeddedResources.h"

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
    EXPECT_EQ(newest->getAttr("version"), "2.4");
    EXPECT_NE(shared->findObject("shared::whatsnew#4"), nullptr);
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

} // namespace
} // namespace qel
