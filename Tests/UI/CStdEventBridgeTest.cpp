#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "Core/CApplication.h"
#include "Core/CObject.h"
#include "Core/CTimerQueued.h"
#include "Core/Platform/CThreadPump.h"
#include "Core/Platform/PlatformSystem.h"
#include "UI/CStdEventBridge.h"
#include "UI/UIClassTable.h"

namespace qel {
namespace {

// Records every "ping" and "tick" it receives, with the thread that ran it.
class CReceiver : public CObject {
public:
    struct SCall {
        uint64_t threadId;
        std::string event, sender;
    };
    std::vector<SCall> calls;

    static void initClass(CClassRecord& record) {
        CClassRecord::initObject(record);
        for (const char* event : {"ping", "tick"})
            record.addEvent(event, [](CObject& object, CParamList& params) {
                static_cast<CReceiver&>(object).calls.push_back({platform::currentThreadId(),
                                                                 params.text("event-name").toUtf8(),
                                                                 params.text("sender").toUtf8()});
                return (CError*)nullptr;
            });
    }
};

const SCreatorEntry* testClasses() {
    static const SCreatorEntry table[] = {
        {"test:receiver", qelCreate<CReceiver>, CReceiver::initClass},
        {nullptr, nullptr, nullptr},
    };
    return table;
}

class CStdEventBridgeTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(CApplication::startup({qelCoreClassTable(), qelUIClassTable(), testClasses()}, nullptr,
                                        CString()),
                  nullptr);
        ASSERT_EQ(CApplication::initRootObject(CString(), root), nullptr);
        ui = add<CObject>(root, "core:object", "ui");
        bridge = add<CStdEventBridge>(ui, "ui:ui-event-bridge", "bridge");
        ASSERT_EQ(bridge->init(), nullptr);
        sender = add<CObject>(root, "core:object", "sender");
        CThreadPump::current()->pump(); // nothing left over from an earlier test
    }
    void TearDown() override {
        CApplication::releaseRootObject(root);
        CApplication::shutdown();
        CThreadPump::current()->pump();
    }

    template <class T>
    T* add(CObject* parent, const char* tag, const char* name) {
        CObject* child = nullptr;
        CError* error = parent->addChild(tag, name, false, child);
        EXPECT_EQ(error, nullptr);
        qelErrRelease(error);
        return dynamic_cast<T*>(child);
    }

    static size_t pump() { return CThreadPump::current()->pump(); }

    CObject* root = nullptr;
    CObject* ui = nullptr;
    CObject* sender = nullptr;
    CStdEventBridge* bridge = nullptr;
};

TEST_F(CStdEventBridgeTest, EventsFromOtherThreadsRunOnTheBridgeThreadInOrder) {
    auto* receiver = add<CReceiver>(ui, "test:receiver", "receiver");
    receiver->listenObject(sender, "ping", "ping");
    const uint64_t self = platform::currentThreadId();

    // Sent from this thread: delivered at once.
    ASSERT_EQ(sender->emitEvent("ping", false), nullptr);
    ASSERT_EQ(receiver->calls.size(), 1u);
    EXPECT_EQ(receiver->calls[0].sender, "sender");

    // Sent from a worker: queued until this thread pumps, never run on the worker.
    std::thread worker([&] {
        for (int i = 0; i < 3; ++i)
            qelErrRelease(sender->emitEvent("ping", false));
    });
    worker.join();
    EXPECT_EQ(receiver->calls.size(), 1u);
    EXPECT_EQ(pump(), 3u);
    ASSERT_EQ(receiver->calls.size(), 4u);
    for (const auto& call : receiver->calls) {
        EXPECT_EQ(call.threadId, self);
        EXPECT_EQ(call.event, "ping");
    }

    // Forced bridging queues even on the same thread; nobody listening is fine.
    ASSERT_EQ(sender->emitEvent("ping", true), nullptr);
    EXPECT_EQ(receiver->calls.size(), 4u);
    EXPECT_EQ(pump(), 1u);
    EXPECT_EQ(receiver->calls.size(), 5u);
    EXPECT_EQ(sender->emitEvent("nobody-listens", true), nullptr);
    EXPECT_EQ(pump(), 0u);
}

TEST_F(CStdEventBridgeTest, EventsForDestroyedOrReplacedReceiversAreDropped) {
    auto* receiver = add<CReceiver>(ui, "test:receiver", "receiver");
    CParamList params;
    ASSERT_EQ(CObject::postEvent(receiver, "test", "ping", params), nullptr);
    ui->destroyChild(receiver);
    auto* replacement = add<CReceiver>(ui, "test:receiver", "receiver");
    ASSERT_EQ(replacement->fullName(), "ui.receiver");
    EXPECT_EQ(pump(), 1u);
    EXPECT_TRUE(replacement->calls.empty());

    // The replacement itself is reached.
    CParamList again;
    ASSERT_EQ(CObject::postEvent(replacement, "test", "ping", again), nullptr);
    pump();
    EXPECT_EQ(replacement->calls.size(), 1u);

    // A bridge destroyed with deliveries queued drops them.
    CParamList late;
    ASSERT_EQ(CObject::postEvent(replacement, "test", "ping", late), nullptr);
    root->destroyChild(ui);
    EXPECT_EQ(pump(), 1u);
}

TEST_F(CStdEventBridgeTest, ReleaseBridgedDestroysTheObjectAfterItsHandlerReturned) {
    auto* child = add<CReceiver>(ui, "test:receiver", "window");
    child->releaseBridged();
    EXPECT_NE(ui->childByName("window"), nullptr);
    pump();
    EXPECT_EQ(ui->childByName("window"), nullptr);
}

TEST_F(CStdEventBridgeTest, TimersTickOnTheOwningThread) {
    auto* receiver = add<CReceiver>(ui, "test:receiver", "receiver");
    auto* timer = add<CTimerQueued>(ui, "core:timer", "timer");
    receiver->listenObject(timer, "tick", "tick");

    // A plain timer fires from this thread's pump and bridges its tick.
    ASSERT_EQ(timer->setAttr("interval", "0.001", true), nullptr);
    ASSERT_NE(timer->threadTimerId(), 0u);
    for (int i = 0; i < 200 && receiver->calls.empty(); ++i) {
        platform::sleepMilliseconds(2);
        pump();
    }
    ASSERT_FALSE(receiver->calls.empty());
    EXPECT_EQ(receiver->calls[0].sender, "ui.timer");

    // A high-precision timer ticks on the timer thread and is delivered here through the bridge.
    ASSERT_EQ(timer->setAttr("is-high-precision", "true", true), nullptr);
    EXPECT_EQ(timer->threadTimerId(), 0u);
    receiver->calls.clear();
    for (int i = 0; i < 1000 && receiver->calls.size() < 3; ++i) {
        CThreadPump::current()->waitForWork(10);
        pump();
    }
    ASSERT_GE(receiver->calls.size(), 3u);
    for (const auto& call : receiver->calls)
        EXPECT_EQ(call.threadId, platform::currentThreadId());
    ASSERT_EQ(timer->setAttr("interval", "0", true), nullptr); // clamped to 1 ms, still running
    EXPECT_TRUE(timer->hasTimer());
}

} // namespace
} // namespace qel
