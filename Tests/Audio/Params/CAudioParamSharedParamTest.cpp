#include <gtest/gtest.h>

#include "Audio/Params/CAudioParamSharedStorage.h"
#include "Audio/Params/CollectorTree.h"
#include "UI/CAppDataLocal.h"

namespace qel {
namespace {

// Two instances of the plug-in in one process, sharing settings through the local store.
class CAudioParamSharedParamTest : public test::CollectorTreeTest {
protected:
    void SetUp() override {
        CollectorTreeTest::SetUp();
        define("amount", {{"element-size", "1"},
                          {"converter", "shared::audio.paramcvt.real"},
                          {"min-values", "0"},
                          {"max-values", "10"},
                          {"def-values", "1"}});
        define("label", {{"element-size", "1"},
                         {"data-type", "string"},
                         {"converter", "shared::audio.paramcvt.text"},
                         {"min-values", "0"},
                         {"max-values", "0"},
                         {"def-values", "none"}});
        CObject* made = nullptr;
        ASSERT_EQ(make(root, "core:object", "second", {}, second), nullptr);
        ASSERT_EQ(make(second, "audio:audio-env", "audio-env", {}, made), nullptr);
        ASSERT_EQ(make(second, "audio:param-collector", "param-collector", {{"env", "^audio-env"}}, made),
                  nullptr);
        otherCollector = static_cast<CAudioParamCollector*>(made);
        ASSERT_EQ(make(second, "audio:param-registry", "param-registry",
                       {{"hierarchy", "plugin.modMain"},
                        {"def-name-remap", "plugin=audio"},
                        {"param-collector", "^param-collector"}},
                       made),
                  nullptr);
    }

    void share(CAudioParamCollector* collector, const char* param, const char* entry) {
        CObject* made = nullptr;
        ASSERT_EQ(
            test::firstLine(make(collector, "audio:param-shared-storage", entry,
                                 {{"param", param}, {"data-name", entry}, {"storage-type", "local"}}, made)),
            "");
        collector->bindSharedStorage(*static_cast<CAudioParamSharedStorage*>(made));
    }

    CObject* second = nullptr;
    CAudioParamCollector* otherCollector = nullptr;
};

TEST_F(CAudioParamSharedParamTest, SettingsFollowEachOtherThroughTheStore) {
    CAppData& store = CAppDataLocal::instance();
    store.setText("shared-amount", "2.50", this);
    share(collector, "plugin.modMain.amount", "shared-amount");
    share(otherCollector, "plugin.modMain.amount", "shared-amount");
    CAudioParam* mine = collector->getParam("plugin.modMain.amount");
    CAudioParam* theirs = otherCollector->getParam("plugin.modMain.amount");
    EXPECT_EQ(mine->getValue(0, 0, 0), 2.5) << "taken from the store when bound";
    EXPECT_EQ(theirs->getValue(0, 0, 0), 2.5);

    mine->setValue(0, 0, 0, 7.25);
    CString text;
    ASSERT_TRUE(store.getText("shared-amount", text));
    EXPECT_EQ(text, "7.25") << "written as the converter shows it";
    EXPECT_EQ(theirs->getValue(0, 0, 0), 7.25) << "the other instance follows";

    theirs->setValue(0, 0, 0, 3.0);
    EXPECT_EQ(mine->getValue(0, 0, 0), 3.0);
    mine->setValue(2, 0, 0, 9.0);
    EXPECT_EQ(theirs->getValue(0, 0, 0), 3.0) << "only the first value is shared";

    store.setText("shared-amount", "loud", this);
    EXPECT_EQ(mine->getValue(0, 0, 0), 3.0) << "a text the converter rejects changes nothing";
    store.setText("shared-amount", "4", this);
    EXPECT_EQ(mine->getValue(0, 0, 0), 4.0);
}

TEST_F(CAudioParamSharedParamTest, StringsAreSharedAsText) {
    share(collector, "plugin.modMain.label", "shared-label");
    share(otherCollector, "plugin.modMain.label", "shared-label");
    CAudioParam* mine = collector->getParam("plugin.modMain.label");
    CAudioParam* theirs = otherCollector->getParam("plugin.modMain.label");
    EXPECT_EQ(mine->getText(0, 0), "none") << "nothing stored yet";

    CAudioParamData pool;
    const double index = pool.addString("Studio A");
    SAudioParamChange change;
    change.values = &index;
    change.pool = &pool;
    mine->applyChange(change);
    EXPECT_EQ(theirs->getText(0, 0), "Studio A");
    CString stored;
    ASSERT_TRUE(CAppDataLocal::instance().getText("shared-label", stored));
    EXPECT_EQ(stored, "Studio A");
}

} // namespace
} // namespace qel
