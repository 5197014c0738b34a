#include "UI/CSharedAttribute.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "Audio/VST/WrapperInstance.h"
#include "Core/CTimerQueued.h"
#include "Core/Platform/CThreadPump.h"
#include "Support/DefinitionBuilder.h"
#include "Support/ErrorText.h"
#include "UI/CAppDataGlobal.h"
#include "UI/CAppDataGroup.h"
#include "UI/CAppDataLocal.h"
#include "UI/UIClassTable.h"

namespace qel::test {
namespace {

// An entry that no earlier test of this run has written, even when tests are repeated.
std::string freshEntryName() {
    static int counter = 0;
    return "test-setting-" + std::to_string(++counter);
}

class CSharedAttributeTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(CApplication::startup({qelCoreClassTable(), qelUIClassTable()}, nullptr, CString()),
                  nullptr);
        ASSERT_EQ(CApplication::initRootObject(CString(), root), nullptr);
    }
    void TearDown() override {
        CApplication::releaseRootObject(root);
        CApplication::shutdown();
    }
    std::string make(const Attrs& attrs, CSharedAttribute*& setting) {
        CObject* made = nullptr;
        std::string error =
            firstLine(buildDefinition(root, "core:shared-attribute", "setting", attrs, {}, made));
        setting = dynamic_cast<CSharedAttribute*>(made);
        return error;
    }

    CObject* root = nullptr;
};

TEST_F(CSharedAttributeTest, ExposesTheStoredTextOrTheDefaultAndStoresWrites) {
    const std::string entry = freshEntryName();
    CAppData& store = CAppDataGlobal::instance();
    CSharedAttribute* setting = nullptr;
    ASSERT_EQ(make({{"attribute", "fps"},
                    {"storage-type", "global"},
                    {"def-value", "30"},
                    {"data-name", entry.c_str()}},
                   setting),
              "");
    EXPECT_EQ(setting->read(), "30");
    EXPECT_EQ(setting->getAttr("fps"), "30");
    CString text;
    EXPECT_FALSE(store.getText(CString::fromUtf8(entry), text)) << "the default is not written";

    ASSERT_EQ(setting->setAttrRuntime("fps", "60"), nullptr);
    EXPECT_EQ(setting->read(), "60");
    CByteBuffer block;
    EXPECT_TRUE(store.get(CString::fromUtf8(entry), qelFourCC("dstr"), block, true))
        << "read back from its file";
    ASSERT_TRUE(store.getText(CString::fromUtf8(entry), text));
    EXPECT_EQ(text, "60");

    ASSERT_EQ(setting->write("75"), nullptr);
    EXPECT_EQ(setting->getAttr("fps"), "75");
    ASSERT_TRUE(store.getText(CString::fromUtf8(entry), text));
    EXPECT_EQ(text, "75");

    // Without a data name the entry is named after the object.
    CObject* prefs = nullptr;
    ASSERT_EQ(root->addChild("core:object", "prefs", false, prefs), nullptr);
    CObject* made = nullptr;
    const std::string name = freshEntryName();
    ASSERT_EQ(buildDefinition(prefs, "core:shared-attribute", name.c_str(),
                              {{"attribute", "level"}, {"storage-type", "group"}, {"def-value", "1"}}, {},
                              made),
              nullptr);
    auto* unnamed = static_cast<CSharedAttribute*>(made);
    EXPECT_EQ(unnamed->dataName(), CString::fromUtf8("prefs." + name));
    EXPECT_EQ(&unnamed->store(), &CAppDataGroup::instance());
    ASSERT_EQ(unnamed->write("2"), nullptr);
    ASSERT_TRUE(CAppDataGroup::instance().getText(CString::fromUtf8("prefs." + name), text));
    EXPECT_EQ(text, "2");
    EXPECT_FALSE(CAppDataLocal::instance().getText(CString::fromUtf8("prefs." + name), text));
}

TEST_F(CSharedAttributeTest, NeedsAnAttributeNameAndAKnownStorageType) {
    CSharedAttribute* setting = nullptr;
    EXPECT_EQ(make({{"storage-type", "local"}, {"def-value", "1"}}, setting),
              "No attached attribute name specified.");
    EXPECT_EQ(make({{"attribute", "scale"}, {"storage-type", "Local"}}, setting),
              "Invalid storage type \"Local\" specified.");
    EXPECT_EQ(make({{"attribute", "scale"}}, setting), "Invalid storage type \"\" specified.");
    ASSERT_EQ(make({{"attribute", "scale"}, {"storage-type", "local"}}, setting), "");
    EXPECT_EQ(&setting->store(), &CAppDataLocal::instance());
}

// Counts how often each watched object's attribute changes.
struct ChangeCounter : CAttrListener {
    std::map<const CObject*, int> changes;
    CError* onAttrChanged(CObject& object, const CString&, const CString&) override {
        ++changes[&object];
        return nullptr;
    }
};

// Editors built from the product's compiled user interface, next to plug-in instances.
class CSharedAttributeEditorsTest : public WrapperInstanceTest {
protected:
    void SetUp() override {
        WrapperInstanceTest::SetUp();
        CThreadPump::current()->pump(); // nothing left over from an earlier test
    }
    void TearDown() override {
        for (CObject* editor : editors)
            CApplication::releaseRootObject(editor);
        if (editedInstance) editedInstance->dispatcher(editedInstance, effClose, 0, 0, nullptr, 0);
        WrapperInstanceTest::TearDown();
    }
    // One editor's tree: the user interface definitions loaded into a root of its own and linked to an
    // instance, as the product does, with its events delivered on this thread.
    CObject* openEditor() {
        if (!editedInstance) {
            editedInstance = CAudioWrapperVST::createEffect(SScriptedHost::callback);
            if (!editedInstance) return nullptr;
            audioRoot = static_cast<CAudioWrapperVST*>(static_cast<AudioEffect*>(editedInstance->object))
                            ->applicationObject();
        }
        CObject* root = nullptr;
        EXPECT_EQ(CApplication::initRootObject(CString(), root), nullptr);
        if (!root) return nullptr;
        editors.push_back(root);
        EXPECT_EQ(root->setAttrPointer("BaseConnectorRootPtr", &audioRoot), nullptr);
        EXPECT_EQ(firstLine(root->loadXMLData("UserInterface.xml", true)), "");
        CObject* bridge = nullptr;
        EXPECT_EQ(root->createChild("ui:ui-event-bridge", "bridge", false, nullptr, bridge), nullptr);
        return root;
    }
    static CSharedAttribute* setting(CObject* editor, const char* path) {
        CSharedAttribute* found = nullptr;
        EXPECT_EQ(firstLine(editor->findObjectChecked(path, found)), "");
        return found;
    }
    // A view whose "fps" follows the global frame rate setting.
    static CObject* boundView(CObject* editor) {
        CObject* view = nullptr;
        EXPECT_EQ(editor->addChild("core:object", "view", false, view), nullptr);
        EXPECT_EQ(view->setAttr("fps", "{*/ui.global-data.frames-per-second frames-per-second}", true),
                  nullptr);
        return view;
    }

    std::vector<CObject*> editors;
    AEffect* editedInstance = nullptr;
    CObject* audioRoot = nullptr;
    ChangeCounter counter;
};

TEST_F(CSharedAttributeEditorsTest, UserInterfaceDeclaresTheSettingsOfEachStore) {
    CObject* editor = openEditor();
    ASSERT_NE(editor, nullptr);
    using Type = CSharedAttribute::StorageType;
    for (const auto& [container, type, count] : {std::tuple{"ui.global-data", Type::Global, size_t(21)},
                                                 std::tuple{"ui.group-data", Type::Group, size_t(4)},
                                                 std::tuple{"ui.local-data", Type::Local, size_t(6)}}) {
        CObject* holder = editor->findObject(container);
        ASSERT_NE(holder, nullptr) << container;
        EXPECT_EQ(holder->children().size(), count) << container;
        for (CObject* child : holder->children()) {
            auto* found = dynamic_cast<CSharedAttribute*>(child);
            ASSERT_NE(found, nullptr) << child->fullName().toUtf8();
            EXPECT_EQ(found->storageType(), type) << child->fullName().toUtf8();
            // Named after the setting: what the audio side, the editor size and other products read.
            EXPECT_EQ(found->dataName().toUtf8(), child->name().toUtf8());
            EXPECT_EQ(found->getAttr(found->attributeName()).toUtf8(), found->read().toUtf8());
        }
    }
    const std::vector<std::tuple<const char*, const char*, const char*>> samples = {
        {"ui.global-data.frames-per-second", "frames-per-second", "30"},
        {"ui.global-data.ui-flat-meters", "ui-flat-meters", "false"},
        {"ui.group-data.oversampling-level", "oversampling-level", "1"},
        {"ui.group-data.force-2ch", "force-2ch", "false"},
        {"ui.local-data.ui-color-scheme", "palette-name", "Military"},
        {"ui.local-data.ui-scale-usesr", "scale-usesr", "true"},
    };
    for (const auto& [path, attribute, def] : samples) {
        CSharedAttribute* found = setting(editor, path);
        ASSERT_NE(found, nullptr) << path;
        EXPECT_EQ(found->attributeName().toUtf8(), attribute);
        EXPECT_EQ(found->defaultValue().toUtf8(), def) << path;
    }
}

TEST_F(CSharedAttributeEditorsTest, AWriteInOneEditorReachesTheOthersAndTheirBindings) {
    CObject* first = openEditor();
    CObject* second = openEditor();
    ASSERT_TRUE(first && second);
    CSharedAttribute* mine = setting(first, "ui.global-data.frames-per-second");
    CSharedAttribute* theirs = setting(second, "ui.global-data.frames-per-second");
    ASSERT_TRUE(mine && theirs);
    const CString original = mine->read();
    CObject* myView = boundView(first);
    CObject* theirView = boundView(second);
    EXPECT_EQ(theirView->getAttr("fps"), original);
    mine->addAttrListener(&counter, std::set<CString>{"frames-per-second"});
    theirs->addAttrListener(&counter, std::set<CString>{"frames-per-second"});
    myView->addAttrListener(&counter, std::set<CString>{"fps"});
    theirView->addAttrListener(&counter, std::set<CString>{"fps"});

    ASSERT_EQ(mine->setAttrRuntime("frames-per-second", "60"), nullptr);
    CString stored;
    ASSERT_TRUE(CAppDataGlobal::instance().getText("frames-per-second", stored));
    EXPECT_EQ(stored, "60");
    EXPECT_EQ(theirs->read(), "60");
    EXPECT_EQ(theirs->getAttr("frames-per-second"), "60");
    EXPECT_EQ(myView->getAttr("fps"), "60");
    EXPECT_EQ(theirView->getAttr("fps"), "60");
    for (const CObject* object : std::vector<const CObject*>{mine, theirs, myView, theirView})
        EXPECT_EQ(counter.changes[object], 1) << object->fullName().toUtf8() << ": one change, no echo";

    ASSERT_EQ(theirs->write("24"), nullptr);
    ASSERT_EQ(theirs->write("24"), nullptr);
    EXPECT_EQ(mine->read(), "24");
    EXPECT_EQ(myView->getAttr("fps"), "24");
    EXPECT_EQ(counter.changes[mine], 2);
    EXPECT_EQ(counter.changes[theirView], 2) << "the same text again changes nothing";

    // An editor opened later starts with the shared value.
    CObject* third = openEditor();
    ASSERT_NE(third, nullptr);
    EXPECT_EQ(boundView(third)->getAttr("fps"), "24");
    ASSERT_EQ(mine->write(original), nullptr);
    EXPECT_EQ(theirView->getAttr("fps"), original);
}

TEST_F(CSharedAttributeEditorsTest, ChangesMadeOnAnotherThreadWaitForTheEditorsThread) {
    CObject* first = openEditor();
    CObject* second = openEditor();
    ASSERT_TRUE(first && second);
    CSharedAttribute* mine = setting(first, "ui.global-data.frames-per-second");
    CSharedAttribute* theirs = setting(second, "ui.global-data.frames-per-second");
    ASSERT_TRUE(mine && theirs);
    const CString original = theirs->read();
    CObject* theirView = boundView(second);

    std::thread([mine] { EXPECT_EQ(mine->write("50"), nullptr); }).join();
    EXPECT_EQ(theirs->read(), original) << "not touched from the writer's thread";
    EXPECT_GE(CThreadPump::current()->pendingTasks(), 1u);
    CThreadPump::current()->pump();
    EXPECT_EQ(theirs->read(), "50");
    EXPECT_EQ(theirView->getAttr("fps"), "50");

    ASSERT_EQ(mine->write(original), nullptr);
    EXPECT_EQ(theirView->getAttr("fps"), original) << "same thread: at once";
}

TEST_F(CSharedAttributeEditorsTest, UpdateTimersFollowTheHighPrecisionSetting) {
    CObject* first = openEditor();
    CObject* second = openEditor();
    ASSERT_TRUE(first && second);
    CSharedAttribute* highPrecision = setting(first, "ui.global-data.high-precision-timer");
    ASSERT_NE(highPrecision, nullptr);
    const CString original = highPrecision->read();
    ASSERT_EQ(highPrecision->write("true"), nullptr);
    CTimerQueued* timers[2] = {nullptr, nullptr};
    ASSERT_EQ(first->createChild("ui:update-timer", "timer", true, nullptr, timers[0]), nullptr);
    ASSERT_EQ(second->createChild("ui:update-timer", "timer", true, nullptr, timers[1]), nullptr);
    EXPECT_TRUE(timers[0]->isHighPrecision() && timers[1]->isHighPrecision());

    ASSERT_EQ(highPrecision->write("false"), nullptr);
    EXPECT_FALSE(timers[0]->isHighPrecision());
    EXPECT_FALSE(timers[1]->isHighPrecision()) << "through the other editor's setting";
    EXPECT_FALSE(timers[0]->hasTimer()) << "no rate set yet";
    ASSERT_EQ(highPrecision->write(original), nullptr);
}

TEST_F(CSharedAttributeEditorsTest, GroupSettingsWrittenInTheEditorReachOnlyLaterInstances) {
    CObject* editor = openEditor();
    ASSERT_NE(editor, nullptr);
    CSharedAttribute* twoChannels = setting(editor, "ui.group-data.force-2ch");
    CSharedAttribute* functionSync = setting(editor, "ui.group-data.vst-func-sync");
    ASSERT_TRUE(twoChannels && functionSync);
    const CString originals[2] = {twoChannels->read(), functionSync->read()};
    ASSERT_EQ(twoChannels->write("false"), nullptr);
    ASSERT_EQ(functionSync->write("false"), nullptr);
    CAudioWrapperVST& running = create();
    EXPECT_EQ(effect->numInputs, 8);
    EXPECT_FALSE(running.hasFunctionSyncLock());

    ASSERT_EQ(twoChannels->setAttrRuntime("force-2ch", "true"), nullptr);
    ASSERT_EQ(functionSync->write("true"), nullptr);
    EXPECT_EQ(effect->numInputs, 8) << "a running instance keeps its channels";
    AEffect* next = CAudioWrapperVST::createEffect(SScriptedHost::callback);
    ASSERT_NE(next, nullptr);
    EXPECT_EQ(next->numInputs, 2);
    EXPECT_EQ(next->numOutputs, 2);
    EXPECT_TRUE(
        static_cast<CAudioWrapperVST*>(static_cast<AudioEffect*>(next->object))->hasFunctionSyncLock());
    next->dispatcher(next, effClose, 0, 0, nullptr, 0);

    ASSERT_EQ(twoChannels->write(originals[0]), nullptr);
    ASSERT_EQ(functionSync->write(originals[1]), nullptr);
}

} // namespace
} // namespace qel::test
