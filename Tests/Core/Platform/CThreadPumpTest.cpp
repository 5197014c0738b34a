#include <gtest/gtest.h>

#include <thread>

#include "Core/Platform/CThreadPump.h"
#include "Core/Platform/CTimerQueue.h"

namespace qel {
namespace {

// A burst of posts (timers falling due together) wakes the receiving thread once, when it ends;
// tasks queue at once, and a pump gone meanwhile is skipped.
TEST(CThreadPump, DeferredWakesWakeEachPumpOnceAfterTheBurst) {
    std::shared_ptr<CThreadPump> pump;
    std::thread owner([&] { pump = CThreadPump::current(); });
    owner.join();
    int wakes = 0;
    pump->setWakeHook([&] { ++wakes; });

    pump->post([] {});
    EXPECT_EQ(wakes, 1);
    {
        CThreadPump::CDeferWakes burst;
        for (int i = 0; i < 3; ++i)
            pump->post([] {});
        EXPECT_EQ(wakes, 1);
        EXPECT_EQ(pump->pendingTasks(), 4u);
        {
            CThreadPump::CDeferWakes inner;
            pump->post([] {});
        }
        EXPECT_EQ(wakes, 2) << "an inner burst wakes at its own end";
    }
    EXPECT_EQ(wakes, 3);

    std::weak_ptr<CThreadPump> gone;
    {
        CThreadPump::CDeferWakes burst;
        pump->post([] {});
        gone = pump;
        pump->setWakeHook(nullptr);
        pump.reset();
    }
    EXPECT_TRUE(gone.expired());
    EXPECT_EQ(wakes, 3);
}

// Timers of one period tick on whole periods of the clock, whenever they were added, so one wake of
// the timer thread serves all of them.
TEST(CTimerQueue, TimersOfOnePeriodTickTogether) {
    CTimerQueue* queue = CTimerQueue::instance();
    ASSERT_NE(queue, nullptr);
    std::mutex lock;
    std::vector<std::pair<int, std::chrono::steady_clock::time_point>> ticks;
    auto record = [&](int which) {
        std::lock_guard<std::mutex> guard(lock);
        ticks.emplace_back(which, std::chrono::steady_clock::now());
    };
    const uint32_t first = queue->add(0, 50, [&] { record(0); });
    std::this_thread::sleep_for(std::chrono::milliseconds(17));
    const uint32_t second = queue->add(0, 50, [&] { record(1); });
    std::this_thread::sleep_for(std::chrono::milliseconds(230));
    queue->remove(first);
    queue->remove(second);
    std::lock_guard<std::mutex> guard(lock);
    ASSERT_GE(ticks.size(), 6u);
    // Ticks come in pairs, one of each timer, within a few milliseconds of each other.
    size_t paired = 0;
    for (size_t i = 0; i + 1 < ticks.size(); ++i)
        if (ticks[i].first != ticks[i + 1].first &&
            ticks[i + 1].second - ticks[i].second < std::chrono::milliseconds(5))
            ++paired;
    EXPECT_GE(paired, ticks.size() / 2 - 2);
}

} // namespace
} // namespace qel
