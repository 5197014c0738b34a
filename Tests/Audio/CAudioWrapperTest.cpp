#include <gtest/gtest.h>

#include "Audio/CAudioEventQueue.h"
#include "Audio/CAudioWrapper.h"
#include "Support/ErrorText.h"
#include "UI/CAppDataLocal.h"

namespace qel {
namespace {

TEST(CAudioWrapperTest, VersionsAndPluginCodes) {
    int32_t version[3] = {9, 9, 9};
    ASSERT_EQ(CAudioWrapper::parseVersion("1.2", version), nullptr);
    EXPECT_EQ(version[0] * 10000 + version[1] * 100 + version[2], 10200);
    ASSERT_EQ(CAudioWrapper::parseVersion("1..2", version), nullptr);
    EXPECT_EQ(version[0] * 10000 + version[1] * 100 + version[2], 10200);
    ASSERT_EQ(CAudioWrapper::parseVersion("2.4.7", version), nullptr);
    EXPECT_EQ(version[2], 7);
    for (const char* bad : {"1", "1.2.3.4", "1.x", "1.-2", ""}) {
        SCOPED_TRACE(bad);
        EXPECT_EQ(test::firstLine(CAudioWrapper::parseVersion(bad, version)),
                  std::string("Invalid version specification in string '") + bad + "'.");
    }
    uint32_t code = 0;
    ASSERT_EQ(CAudioWrapper::acquirePluginCode("222l", code), nullptr);
    EXPECT_EQ(code, 0x3232326Cu);
    EXPECT_EQ(test::firstLine(CAudioWrapper::acquirePluginCode("abc", code)),
              "Invalid plug-in code in string 'abc'.");
    EXPECT_EQ(test::firstLine(CAudioWrapper::acquirePluginCode("abcde", code)),
              "Invalid plug-in code in string 'abcde'.");
}

TEST(CAudioWrapperTest, OfflineOversamplingFollowsTheRate) {
    EXPECT_EQ(CAudioWrapper::offlineOversamplingMode(1, 44100), 2);
    EXPECT_EQ(CAudioWrapper::offlineOversamplingMode(1, 96000), 1);
    EXPECT_EQ(CAudioWrapper::offlineOversamplingMode(1, 192000), 0);
    EXPECT_EQ(CAudioWrapper::offlineOversamplingMode(3, 44100), 3);
    EXPECT_EQ(CAudioWrapper::offlineOversamplingMode(0, 192000), 0);
    EXPECT_EQ(CAudioWrapper::offlineOversamplingMode(1, 72000), 1);
    EXPECT_EQ(CAudioWrapper::offlineOversamplingMode(1, 144000), 0);
}

TEST(CAudioWrapperTest, UiScaleFollowsTheMonitor) {
    CAppDataLocal& store = CAppDataLocal::instance();
    store.setText("ui-scale2", "1.0", nullptr);
    EXPECT_NEAR(CAudioWrapper::computeUiScale(2560, 1440), 1.35, 1e-12);
    EXPECT_NEAR(CAudioWrapper::computeUiScale(1280, 800), 0.8, 1e-12);
    EXPECT_NEAR(CAudioWrapper::computeUiScale(0, 0), 1.0, 1e-12) << "no display";
    store.setText("ui-scale-usesr", "false", nullptr);
    store.setText("ui-scale", "1.5", nullptr);
    EXPECT_NEAR(CAudioWrapper::computeUiScale(1280, 800), 1.5, 1e-12) << "the user's own scale";
    store.setText("ui-scale", "big", nullptr);
    EXPECT_NEAR(CAudioWrapper::computeUiScale(1280, 800), 1.0, 1e-12);
    store.setText("ui-scale-usesr", "true", nullptr);
}

TEST(CAudioEventQueueTest, GrowsBeyondItsInlineRoomAndSortsByPosition) {
    CAudioEventQueue queue;
    EXPECT_EQ(queue.capacity(), 2);
    const int32_t positions[] = {30, 10, 20, 10, 0};
    for (int32_t p : positions)
        queue.append(SAudioEvent::param(p, p, p / 10.0));
    EXPECT_EQ(queue.capacity(), 7) << "2, then 2 + 1 + 1, then 4 + 2 + 1";
    queue.sort();
    for (int32_t i = 1; i < queue.count(); ++i)
        EXPECT_LE(queue[i - 1].position, queue[i].position);
    EXPECT_EQ(queue[4].paramValue(), 3.0);
    const SAudioEvent midi = SAudioEvent::midi(5, 0x93, 200, 64);
    EXPECT_EQ(midi.fields[0], 9);
    EXPECT_EQ(midi.fields[1], 3);
    EXPECT_EQ(midi.fields[2], 200 & 127);
}

} // namespace
} // namespace qel
