#include <gtest/gtest.h>

#include <vector>

#include "Core/CEventBridge.h"
#include "Core/CTimerQueued.h"
#include "Core/Platform/PlatformSystem.h"
#include "Support/ErrorText.h"
#include "Support/ObjectTree.h"

namespace qel {
namespace {

// Keeps what the timer hands over instead of running it later.
class CRecordingBridge : public CEventBridge {
public:
    CError* postParams(const CParamList& params) override {
        posted.push_back(params);
        return nullptr;
    }
    std::vector<CParamList> posted;
};

int64_t g_now = 0;
int64_t fakeClock() {
    return g_now;
}
int64_t seconds(double s) {
    return int64_t(s * double(platform::performanceFrequency()));
}

class CTimerQueuedTest : public test::ObjectTreeTest {
protected:
    CTimerQueued* makeTimer() {
        CObject* object = add(root, "core:timer", "timer");
        return dynamic_cast<CTimerQueued*>(object);
    }
};

TEST_F(CTimerQueuedTest, RateAttributesAreClampedAndOnlyChangesReplaceTheTimer) {
    CTimerQueued* timer = makeTimer();
    ASSERT_NE(timer, nullptr);
    EXPECT_FALSE(timer->hasTimer());

    ASSERT_EQ(timer->setAttr("fps", "0", true), nullptr);
    EXPECT_DOUBLE_EQ(timer->interval(), 1000.0);
    ASSERT_EQ(timer->setAttr("fps", "5000", true), nullptr);
    EXPECT_DOUBLE_EQ(timer->interval(), 0.001);
    ASSERT_EQ(timer->setAttr("fps", "30", true), nullptr);
    EXPECT_DOUBLE_EQ(timer->interval(), 1.0 / 30);
    ASSERT_EQ(timer->setAttr("interval", "-3", true), nullptr);
    EXPECT_DOUBLE_EQ(timer->interval(), 0.001);
    ASSERT_EQ(timer->setAttr("interval", "0.25", true), nullptr);
    EXPECT_DOUBLE_EQ(timer->interval(), 0.25);

    const uint32_t id = timer->threadTimerId();
    ASSERT_NE(id, 0u);
    ASSERT_EQ(timer->setAttr("interval", "0.25", true), nullptr);
    ASSERT_EQ(timer->setAttr("fps", "4", true), nullptr);
    EXPECT_EQ(timer->threadTimerId(), id) << "the same interval keeps the running timer";
    ASSERT_EQ(timer->setAttr("is-high-precision", "false", true), nullptr);
    EXPECT_EQ(timer->threadTimerId(), id);
    ASSERT_EQ(timer->setAttr("interval", "0.5", true), nullptr);
    EXPECT_NE(timer->threadTimerId(), id);

    root->destroyChild(timer);
}

TEST_F(CTimerQueuedTest, AnUnhandledTickIsPostedAgainOnlyAfterTwoSeconds) {
    CRecordingBridge bridge;
    root->setThreadAffinity(platform::currentThreadId(), &bridge);
    CTimerQueued* timer = makeTimer();
    timer->setClock(fakeClock);

    g_now = seconds(100);
    timer->postTick();
    ASSERT_EQ(bridge.posted.size(), 1u);
    EXPECT_EQ(bridge.posted[0].text("listener-proc"), "sys-tick");
    EXPECT_EQ(bridge.posted[0].text("sender"), "timer");
    EXPECT_EQ(bridge.posted[0].text("listener"), "timer");
    EXPECT_EQ(bridge.posted[0].toInt("listener-id", -1), timer->serial());

    for (double later : {0.5, 1.0, 1.999}) {
        g_now = seconds(100 + later);
        timer->postTick();
    }
    EXPECT_EQ(bridge.posted.size(), 1u) << "one pending tick at a time";
    g_now = seconds(102.0);
    timer->postTick();
    EXPECT_EQ(bridge.posted.size(), 2u) << "a consumer silent for two seconds gets another tick";

    // Once handled, the very next tick goes out.
    ASSERT_EQ(timer->runEvent("sys-tick"), nullptr);
    EXPECT_EQ(timer->lastLoad(), 0);
    g_now = seconds(102.01);
    timer->postTick();
    EXPECT_EQ(bridge.posted.size(), 3u);
    timer->postTick();
    EXPECT_EQ(bridge.posted.size(), 3u);
}

} // namespace
} // namespace qel
