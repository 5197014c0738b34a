#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

#include "Core/Platform/CEvent.h"
#include "Core/Platform/CUIThread.h"
#include "Core/Platform/PlatformSystem.h"
#include "Support/ErrorText.h"
#include "UI/CUIEventBridge.h"

namespace qel {
namespace {

class COwner : public CUIEventBridgeOwner {
public:
    CError* onBridgeEvent(CParamList& params) override {
        std::lock_guard<std::mutex> guard(lock);
        threads.push_back(platform::currentThreadId());
        received.push_back(params);
        if (params.has("fail")) return QEL_ERROR({}, "handler failed");
        return nullptr;
    }
    size_t count() {
        std::lock_guard<std::mutex> guard(lock);
        return received.size();
    }

    std::mutex lock;
    std::vector<uint64_t> threads;
    std::vector<CParamList> received;
};

class CCapturePresenter : public CErrorPresenter {
public:
    void present(const CString& text) override { texts.push_back(text.toUtf8()); }
    std::vector<std::string> texts;
};

CParamList event(int sender, int index) {
    CParamList params;
    params.setInt("sender", sender);
    params.setInt("index", index);
    return params;
}

TEST(CUIEventBridge, EventsFromAnyThreadRunOnTheUIThreadInOrder) {
    CUIThread::acquire();
    CUIThread& ui = CUIThread::instance();
    uint64_t uiThread = 0;
    ASSERT_TRUE(ui.runSync([&] { uiThread = platform::currentThreadId(); }, 5000));

    COwner owner;
    auto bridge = std::make_unique<CUIEventBridge>(owner);
    std::vector<std::thread> senders;
    for (int s = 0; s < 3; ++s)
        senders.emplace_back([&, s] {
            for (int i = 0; i < 100; ++i)
                EXPECT_EQ(bridge->postParams(event(s, i)), nullptr);
        });
    for (std::thread& sender : senders)
        sender.join();
    ASSERT_TRUE(ui.runSync([] {}, 5000));
    ASSERT_EQ(owner.count(), 300u);
    EXPECT_EQ(bridge->pendingEvents(), 0u);
    int next[3] = {0, 0, 0};
    for (size_t i = 0; i < owner.received.size(); ++i) {
        EXPECT_EQ(owner.threads[i], uiThread);
        const int sender = owner.received[i].toInt("sender");
        EXPECT_EQ(owner.received[i].toInt("index"), next[sender]++);
    }

    // A handler's error is reported and released there, and delivery goes on.
    CCapturePresenter presenter;
    qelErrSetPresenter(&presenter);
    CParamList failing;
    failing.setInt("fail", 1);
    ASSERT_EQ(bridge->postParams(failing), nullptr);
    ASSERT_EQ(bridge->postParams(event(0, 100)), nullptr);
    ASSERT_TRUE(ui.runSync([] {}, 5000));
    qelErrSetPresenter(nullptr);
    EXPECT_EQ(owner.count(), 302u);
    ASSERT_EQ(presenter.texts.size(), 1u);
    EXPECT_NE(presenter.texts[0].find("handler failed"), std::string::npos);

    ASSERT_TRUE(ui.runSync([&] { bridge.reset(); }, 5000));
    CUIThread::release();
}

TEST(CUIEventBridge, EventsOfADestroyedBridgeAreDropped) {
    CUIThread::acquire();
    CUIThread& ui = CUIThread::instance();
    COwner first;
    auto bridge = std::make_unique<CUIEventBridge>(first);

    // Queued while the thread is busy, then the bridge goes.
    CEvent busy, proceed(true);
    ui.post([&] {
        busy.set();
        proceed.wait(10000);
    });
    ASSERT_TRUE(busy.wait(5000));
    for (int i = 0; i < 5; ++i)
        ASSERT_EQ(bridge->postParams(event(0, i)), nullptr);
    EXPECT_EQ(bridge->pendingEvents(), 5u);
    bridge.reset();
    // A new bridge, quite possibly at the same address, must not receive the old events.
    COwner second;
    auto replacement = std::make_unique<CUIEventBridge>(second);
    ASSERT_EQ(replacement->postParams(event(1, 0)), nullptr);
    proceed.set();
    ASSERT_TRUE(ui.runSync([] {}, 5000));
    EXPECT_EQ(first.count(), 0u);
    ASSERT_EQ(second.count(), 1u);
    EXPECT_EQ(second.received[0].toInt("sender"), 1);

    // Without a running thread a post fails and leaves nothing queued.
    CUIThread::release();
    EXPECT_EQ(test::firstLine(replacement->postParams(event(1, 1))), "Post message error 3.");
    EXPECT_EQ(replacement->pendingEvents(), 0u);
}

} // namespace
} // namespace qel
