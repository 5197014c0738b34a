#include "Audio/Params/CAudioParamAllocDef.h"

#include <gtest/gtest.h>

#include "Audio/Params/CAudioParamSharedStorage.h"
#include "ParamTree.h"

using namespace qel;

using CAudioParamAllocDefTest = test::ParamTreeTest;

TEST_F(CAudioParamAllocDefTest, SlotBindingsNeedANameAndAnIndex) {
    CObject* made = nullptr;
    ASSERT_EQ(
        make(root, "audio:param-alloc", "a",
             {{"param-name", "gain"}, {"index", "3"}, {"use-all-groups", "true"}, {"is-smooth-update", "1"}},
             made),
        nullptr);
    auto* alloc = dynamic_cast<CAudioParamAllocDef*>(made);
    ASSERT_NE(alloc, nullptr);
    EXPECT_EQ(alloc->paramName(), "gain");
    EXPECT_EQ(alloc->index(), 3);
    EXPECT_TRUE(alloc->useAllGroups() && alloc->isSmoothUpdate());
    EXPECT_FALSE(alloc->useAllElements());

    EXPECT_EQ(test::firstLine(make(root, "audio:param-alloc", "a", {{"index", "1"}}, made)),
              "Invalid parameter name specified.");
    EXPECT_EQ(test::firstLine(
                  make(root, "audio:param-alloc", "a", {{"param-name", "gain"}, {"index", "-1"}}, made)),
              "Invalid parameter's 'gain' index '-1' specified.");
}

TEST_F(CAudioParamAllocDefTest, SharedStorageNamesItsStore) {
    const auto build = [this](test::Attrs attrs, CAudioParamSharedStorage*& storage) {
        CObject* made = nullptr;
        CError* error = make(root, "audio:param-shared-storage", "s", attrs, made);
        storage = dynamic_cast<CAudioParamSharedStorage*>(made);
        return test::firstLine(error);
    };
    CAudioParamSharedStorage* storage = nullptr;
    ASSERT_EQ(build({{"param", "plugin.uicolor"}, {"data-name", "uicolor-name"}, {"storage-type", "global"}},
                    storage),
              "");
    EXPECT_EQ(storage->paramName(), "plugin.uicolor");
    EXPECT_EQ(storage->dataName(), "uicolor-name");
    EXPECT_EQ(storage->storageType(), CAudioParamSharedStorage::StorageType::Global);
    for (auto [text, type] : {std::pair{"group", CAudioParamSharedStorage::StorageType::Group},
                              std::pair{"local", CAudioParamSharedStorage::StorageType::Local}}) {
        ASSERT_EQ(build({{"param", "p"}, {"data-name", "d"}, {"storage-type", text}}, storage), "");
        EXPECT_EQ(storage->storageType(), type) << text;
    }
    EXPECT_EQ(build({{"data-name", "d"}, {"storage-type", "local"}}, storage),
              "Invalid parameter name specified.");
    EXPECT_EQ(build({{"param", "p"}, {"storage-type", "local"}}, storage),
              "Invalid shared data name specified.");
    EXPECT_EQ(build({{"param", "p"}, {"data-name", "d"}, {"storage-type", "Local"}}, storage),
              "Invalid storage type \"Local\" specified.");
    EXPECT_EQ(build({{"param", "p"}, {"data-name", "d"}}, storage), "Invalid storage type \"\" specified.");
}
