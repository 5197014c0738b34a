#include <gtest/gtest.h>

#include "Audio/CAudioCCTable.h"
#include "Audio/Params/CAudioParam.h"
#include "Audio/ProductInstance.h"
#include "Core/CWriteSeqBuffer.h"
#include "Support/ErrorText.h"
#include "UI/CAppDataLocal.h"

namespace qel {
namespace {

using CAudioCCTableTest = test::ProductInstanceTest;

CByteBuffer ccmap(const std::vector<std::pair<int32_t, const char*>>& entries, int32_t count) {
    CWriteSeqBuffer out;
    EXPECT_EQ(out.writeValue(count), nullptr);
    for (const auto& [controller, path] : entries) {
        EXPECT_EQ(out.writeValue(controller), nullptr);
        EXPECT_EQ(out.writeString(path), nullptr);
    }
    return out.join();
}

TEST_F(CAudioCCTableTest, TheSharedMappingIsLoadedAndFollowedByEveryInstance) {
    CAudioCCTable* table = nullptr;
    ASSERT_EQ(root->findObjectChecked("plugin.cctable", table), nullptr);
    EXPECT_EQ(table->param(7), nullptr);
    CAudioParam* gain = collector->getParam("plugin.modMain.modOutGain.gain");
    CAudioParam* mode = collector->getParam("plugin.modMain.modEmberline.mode");
    const uint32_t type = qelFourCC("adat");
    CAppDataLocal::instance().set(
        "ccmap",
        ccmap({{7, "plugin.modMain.modOutGain.gain"}, {1, "plugin.modMain.modEmberline.mode"}, {300, "x"}},
              3),
        nullptr, type);
    EXPECT_EQ(table->param(7), gain) << "a change of the entry reloads the table";
    EXPECT_EQ(table->param(1), mode);
    EXPECT_EQ(table->param(128), nullptr);

    // A damaged entry keeps what was read before the damage.
    CByteBuffer damaged =
        ccmap({{5, "plugin.modMain.modOutGain.gain"}, {6, "plugin.modMain.modEmberline.mode"}}, 2);
    damaged.resize(damaged.size() - 3);
    CAppDataLocal::instance().set("ccmap", damaged, nullptr, type);
    EXPECT_EQ(table->param(5), gain);
    EXPECT_EQ(table->param(6), nullptr);
    EXPECT_EQ(table->param(7), nullptr);
    EXPECT_NE(test::firstLine(table->load()), "");
    CAppDataLocal::instance().set("ccmap", ccmap({}, 0), nullptr, type);
}

} // namespace
} // namespace qel
