#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "Core/Platform/CEvent.h"
#include "Core/Platform/CThreadPump.h"
#include "Core/Platform/CUIThread.h"
#include "Core/Platform/PlatformSystem.h"

namespace qel {
namespace {

int64_t elapsedMs(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - since)
        .count();
}

TEST(CUIThread, RunsTasksFromAnyThreadAndItsTimersOnItsOwnThread) {
    CUIThread& ui = CUIThread::instance();
    EXPECT_FALSE(ui.isRunning());
    EXPECT_FALSE(ui.tryPost([] {}));
    EXPECT_FALSE(ui.runSync([] {}, 100)) << "nobody to run it";

    CUIThread::acquire();
    CUIThread::acquire(); // a second user keeps it alive after the first leaves
    ASSERT_TRUE(ui.isRunning());
    EXPECT_FALSE(ui.isCurrent());

    uint64_t uiThread = 0;
    bool current = false, samePump = false;
    ASSERT_TRUE(ui.runSync(
        [&] {
            uiThread = platform::currentThreadId();
            current = ui.isCurrent();
            samePump = ui.pump() == CThreadPump::current();
            // Called on the thread itself it runs at once instead of waiting for itself.
            EXPECT_TRUE(ui.runSync([&] { EXPECT_TRUE(ui.isCurrent()); }, 0));
        },
        5000));
    EXPECT_NE(uiThread, platform::currentThreadId());
    EXPECT_TRUE(current);
    EXPECT_TRUE(samePump);

    // Posts from several threads all run there, each thread's in order.
    std::atomic<int> ran{0};
    std::vector<std::vector<int>> seen(4);
    std::atomic<bool> wrongThread{false};
    std::vector<std::thread> posters;
    for (int t = 0; t < 4; ++t)
        posters.emplace_back([&, t] {
            for (int i = 0; i < 200; ++i)
                ui.post([&, t, i] {
                    if (platform::currentThreadId() != uiThread) wrongThread = true;
                    seen[size_t(t)].push_back(i);
                    ++ran;
                });
        });
    for (std::thread& poster : posters)
        poster.join();
    ASSERT_TRUE(ui.runSync([] {}, 5000));
    EXPECT_EQ(ran.load(), 800);
    EXPECT_FALSE(wrongThread.load());
    for (const std::vector<int>& order : seen) {
        ASSERT_EQ(order.size(), 200u);
        for (int i = 0; i < 200; ++i)
            EXPECT_EQ(order[size_t(i)], i);
    }

    // A plain timer made there fires from the loop at its period, with nothing else waking it.
    std::atomic<int> ticks{0};
    uint32_t timer = 0;
    ASSERT_TRUE(ui.runSync([&] { timer = ui.pump()->addTimer(10, [&](uint32_t) { ++ticks; }); }, 5000));
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    ASSERT_TRUE(ui.runSync([&] { ui.pump()->killTimer(timer); }, 5000));
    const int fired = ticks.load();
    EXPECT_GE(fired, 10) << "a 10 ms timer over 400 ms, on a busy machine too";
    EXPECT_LE(fired, 42);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(ticks.load(), fired) << "killed";

    CUIThread::release();
    EXPECT_TRUE(ui.isRunning());
    CUIThread::release();
    EXPECT_FALSE(ui.isRunning());
    EXPECT_FALSE(ui.tryPost([] {}));
    EXPECT_EQ(ui.pump(), nullptr);

    // A later user gets a new thread.
    CUIThread::acquire();
    uint64_t second = 0;
    ASSERT_TRUE(ui.runSync([&] { second = platform::currentThreadId(); }, 5000));
    EXPECT_NE(second, 0u);
    CUIThread::release();
}

TEST(CUIThread, RunSyncGivesUpAfterItsTimeout) {
    CUIThread& ui = CUIThread::instance();
    CUIThread::acquire();

    // The thread is busy: a task that has not started by the timeout is cancelled for good.
    CEvent busy, release(true);
    ui.post([&] {
        busy.set();
        release.wait(10000);
    });
    ASSERT_TRUE(busy.wait(5000));
    std::atomic<bool> cancelledRan{false};
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(ui.runSync([&] { cancelledRan = true; }, 50));
    EXPECT_GE(elapsedMs(start), 49);
    EXPECT_LT(elapsedMs(start), 2000);
    release.set();
    ASSERT_TRUE(ui.runSync([] {}, 5000));
    EXPECT_FALSE(cancelledRan.load());

    // A task already running at the timeout is waited for: what it uses stays valid.
    std::vector<int> result;
    start = std::chrono::steady_clock::now();
    EXPECT_FALSE(ui.runSync(
        [&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            result.push_back(1);
        },
        30));
    EXPECT_GE(elapsedMs(start), 199);
    EXPECT_EQ(result.size(), 1u);

    CUIThread::release();
}

} // namespace
} // namespace qel

namespace qel {
namespace {

// A task that queues another on its own thread wakes nobody; the loop runs it before it sleeps, also
// when the second task queues a third.
TEST(CUIThread, TasksQueuedOnTheThreadItselfRunWithoutAWake) {
    CUIThread::acquire();
    CUIThread& ui = CUIThread::instance();
    std::atomic<int> ran{0};
    CEvent done;
    ui.post([&] {
        ++ran;
        ui.post([&] {
            ++ran;
            ui.post([&] {
                ++ran;
                done.set();
            });
        });
    });
    EXPECT_TRUE(done.wait(2000));
    EXPECT_EQ(ran.load(), 3);
    CUIThread::release();
}

} // namespace
} // namespace qel
