#include "Core/CUpdateNotifier.h"

#include <algorithm>
#include <atomic>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <new>
#include <thread>
#include <vector>

#include "Core/COwnedUpdateListener.h"
#include "Core/CUpdateListener.h"

using namespace qel;

namespace {

struct SCall {
    const CUpdateListener* listener;
    const SUpdateRecord* record;
    int64_t entryKey;
};

class RecordingListener : public CUpdateListener {
public:
    explicit RecordingListener(std::vector<SCall>* calls = nullptr) : m_calls(calls) {}
    ~RecordingListener() override { detach(); }
    std::function<void()> whenCalled;

protected:
    void onUpdate(const SUpdateRecord* record, const SUpdateEntry& entry) override {
        if (m_calls) m_calls->push_back({this, record, entry.key});
        if (whenCalled) whenCalled();
    }

private:
    std::vector<SCall>* m_calls;
};

struct SNamedRecord : SUpdateRecord {
    const char* name = nullptr;
};

// Puts every listener asking for a key below 100 on key 100 + its request.
class MappingNotifier : public CUpdateNotifier {
protected:
    int64_t mapKey(int64_t requestedKey, CUpdateListener*) override {
        return requestedKey < 100 ? requestedKey + 100 : requestedKey;
    }
};

} // namespace

TEST(CUpdateNotifier, CallsEveryListenerOfTheKeyInAscendingAddressOrder) {
    std::vector<SCall> calls;
    RecordingListener listeners[4] = {RecordingListener(&calls), RecordingListener(&calls),
                                      RecordingListener(&calls), RecordingListener(&calls)};
    CUpdateNotifier notifier;
    // Attached in descending address order: the calls must not follow the order of attachment.
    for (int i = 2; i >= 0; --i)
        listeners[i].attach(&notifier, 7);
    listeners[3].attach(&notifier, 0);

    SNamedRecord record;
    record.key = 7;
    record.name = "gain";
    notifier.notify(&record);
    ASSERT_EQ(calls.size(), 3u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(calls[size_t(i)].listener, &listeners[i]);
        EXPECT_EQ(calls[size_t(i)].record, &record) << "the notifier's own record reaches the listener";
        EXPECT_EQ(calls[size_t(i)].entryKey, 7);
    }

    calls.clear();
    record.key = 8;
    notifier.notify(&record);
    EXPECT_TRUE(calls.empty()) << "no entry for the key";

    notifier.notify(nullptr);
    ASSERT_EQ(calls.size(), 1u) << "no record notifies key 0";
    EXPECT_EQ(calls[0].listener, &listeners[3]);
    EXPECT_EQ(calls[0].record, nullptr);
}

TEST(CUpdateNotifier, EntriesFollowAttachDetachAndReattach) {
    CUpdateNotifier notifier, other;
    RecordingListener a, b;
    EXPECT_EQ(a.notifier(), nullptr);
    EXPECT_FALSE(a.isSubscribed());

    a.attach(&notifier, 1);
    b.attach(&notifier, 1);
    EXPECT_EQ(notifier.entryCount(), 1u);
    EXPECT_EQ(notifier.listenerCount(1), 2u);
    EXPECT_EQ(a.notifier(), &notifier);
    EXPECT_EQ(a.key(), 1);

    a.detach();
    EXPECT_EQ(a.notifier(), nullptr);
    EXPECT_FALSE(a.isSubscribed());
    EXPECT_EQ(notifier.entryCount(), 1u) << "b still holds the entry";
    EXPECT_EQ(notifier.listenerCount(1), 1u);
    b.attach(nullptr, 1);
    EXPECT_EQ(notifier.entryCount(), 0u) << "the last listener removes the entry";

    a.attach(&notifier, 1);
    a.attach(&notifier, -2);
    EXPECT_EQ(notifier.listenerCount(1), 0u);
    EXPECT_EQ(notifier.listenerCount(-2), 1u);
    EXPECT_EQ(notifier.entryCount(), 1u);
    a.attach(&notifier, -2);
    EXPECT_EQ(notifier.listenerCount(-2), 1u) << "attaching again to the same key subscribes once";

    a.attach(&other, 3);
    EXPECT_EQ(notifier.entryCount(), 0u);
    EXPECT_EQ(other.listenerCount(3), 1u);
    EXPECT_EQ(a.notifier(), &other);
}

TEST(CUpdateNotifier, MappedKeyIsTheSubscriptionKey) {
    std::vector<SCall> calls;
    MappingNotifier notifier;
    RecordingListener listener(&calls);
    listener.attach(&notifier, 5);
    EXPECT_EQ(listener.key(), 105);
    EXPECT_EQ(notifier.listenerCount(5), 0u);
    EXPECT_EQ(notifier.listenerCount(105), 1u);

    SUpdateRecord record;
    record.key = 5;
    notifier.notify(&record);
    EXPECT_TRUE(calls.empty());
    record.key = 105;
    notifier.notify(&record);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].entryKey, 105);

    listener.attach(&notifier, 300);
    EXPECT_EQ(listener.key(), 300);
    EXPECT_EQ(notifier.entryCount(), 1u) << "the old mapped entry was left";
}

TEST(CUpdateNotifier, NotifierDestroyedFirstLeavesListenersDetached) {
    auto notifier = std::make_unique<CUpdateNotifier>();
    const CUpdateNotifier* address = notifier.get();
    auto a = std::make_unique<RecordingListener>();
    auto b = std::make_unique<RecordingListener>();
    a->attach(notifier.get(), 1);
    b->attach(notifier.get(), 2);
    EXPECT_TRUE(CUpdateNotifier::isRegistered(address));

    notifier.reset();
    EXPECT_FALSE(CUpdateNotifier::isRegistered(address));
    EXPECT_EQ(a->notifier(), nullptr);
    EXPECT_FALSE(a->isSubscribed());
    EXPECT_EQ(b->notifier(), nullptr);
    // Must not reach into the freed notifier (the sanitizer build checks this).
    a.reset();
    b->detach();
    b.reset();
}

TEST(CUpdateNotifier, AttachingToAGoneNotifierMakesNoSubscription) {
    // The storage outlives the notifier, so only the registry can tell that it is gone.
    alignas(MappingNotifier) unsigned char storage[sizeof(MappingNotifier)];
    CUpdateNotifier* gone = new (storage) MappingNotifier;
    std::destroy_at(gone);

    RecordingListener listener;
    listener.attach(gone, 4);
    EXPECT_FALSE(listener.isSubscribed());
    EXPECT_EQ(listener.key(), 0) << "a gone notifier maps nothing";

    CUpdateNotifier live;
    listener.attach(&live, 4);
    EXPECT_TRUE(listener.isSubscribed());
    EXPECT_EQ(live.listenerCount(4), 1u);
}

TEST(CUpdateNotifier, ListenersMayDetachThemselvesOrOthersWhileBeingNotified) {
    std::vector<SCall> calls;
    CUpdateNotifier notifier;
    RecordingListener listeners[4] = {RecordingListener(&calls), RecordingListener(&calls),
                                      RecordingListener(&calls), RecordingListener(&calls)};
    for (RecordingListener& listener : listeners)
        listener.attach(&notifier, 1);
    listeners[0].whenCalled = [&] { listeners[0].detach(); };
    listeners[1].whenCalled = [&] { listeners[2].attach(&notifier, 9); };

    notifier.notify(nullptr);
    ASSERT_EQ(calls.size(), 0u) << "key 0 has no listeners";
    SUpdateRecord record;
    record.key = 1;
    notifier.notify(&record);
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0].listener, &listeners[0]);
    EXPECT_EQ(calls[1].listener, &listeners[1]);
    EXPECT_EQ(calls[2].listener, &listeners[3]) << "the listener moved away is skipped, the rest go on";

    // The last listener of the entry takes the entry with it.
    calls.clear();
    listeners[1].detach();
    listeners[3].whenCalled = [&] { listeners[3].detach(); };
    notifier.notify(&record);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(notifier.entryCount(), 1u) << "only key 9 is left";
}

namespace {

class Owner {
public:
    explicit Owner(std::atomic<int>* total) : m_total(total) {}
    void attach(CUpdateNotifier* notifier, int64_t key) { m_listener.attach(notifier, key); }
    const COwnedUpdateListener<Owner>& listener() const { return m_listener; }
    std::vector<int64_t> seen;

private:
    void changed(const SUpdateRecord* record, const SUpdateEntry& entry) {
        seen.push_back(record ? record->key : -1);
        seen.push_back(entry.key);
        if (m_total) ++*m_total;
    }

    std::atomic<int>* m_total;
    COwnedUpdateListener<Owner> m_listener{this, &Owner::changed};
};

} // namespace

TEST(CUpdateNotifier, OwnedListenerForwardsToItsOwnerAndDetachesWithIt) {
    CUpdateNotifier notifier;
    auto owner = std::make_unique<Owner>(nullptr);
    EXPECT_EQ(owner->listener().owner(), owner.get());
    owner->attach(&notifier, 3);
    SUpdateRecord record;
    record.key = 3;
    notifier.notify(&record);
    EXPECT_EQ(owner->seen, (std::vector<int64_t>{3, 3}));

    owner.reset();
    EXPECT_EQ(notifier.entryCount(), 0u);
    notifier.notify(&record);
}

namespace {

// Runs both functions at the same moment, one on a second thread.
void runTogether(const std::function<void()>& onOther, const std::function<void()>& onThis) {
    std::atomic<int> arrived{0};
    auto meet = [&arrived] {
        ++arrived;
        while (arrived.load() < 2)
            std::this_thread::yield();
    };
    std::thread other([&] {
        meet();
        onOther();
    });
    meet();
    onThis();
    other.join();
}

// Many listeners on one key, highest address first: the notifier releases them lowest first, so work
// from both ends meets in the middle.
std::vector<std::unique_ptr<RecordingListener>> listenersOn(CUpdateNotifier* notifier, int64_t key) {
    std::vector<std::unique_ptr<RecordingListener>> listeners;
    for (int i = 0; i < 500; ++i) {
        listeners.push_back(std::make_unique<RecordingListener>());
        listeners.back()->attach(notifier, key);
    }
    std::sort(listeners.begin(), listeners.end(), [](auto& a, auto& b) { return a.get() > b.get(); });
    return listeners;
}

} // namespace

TEST(CUpdateNotifier, ConcurrentDestructionOfNotifierAndListeners) {
    for (int round = 0; round < 50; ++round) {
        auto notifier = std::make_unique<CUpdateNotifier>();
        auto listeners = listenersOn(notifier.get(), 1);
        runTogether(
            [&] {
                for (auto& listener : listeners)
                    listener.reset();
            },
            [&] { notifier.reset(); });
    }
}

TEST(CUpdateNotifier, ReattachingWhileTheOldNotifierDiesKeepsTheNewSubscription) {
    for (int round = 0; round < 50; ++round) {
        auto dying = std::make_unique<CUpdateNotifier>();
        CUpdateNotifier next;
        auto listeners = listenersOn(dying.get(), 1);
        runTogether(
            [&] {
                for (auto& listener : listeners)
                    listener->attach(&next, 2);
            },
            [&] { dying.reset(); });
        ASSERT_EQ(next.listenerCount(2), listeners.size()) << "round " << round;
        for (auto& listener : listeners)
            ASSERT_EQ(listener->notifier(), &next) << "round " << round;
    }
}

TEST(CUpdateNotifier, OwnersDestroyedOnAnotherThreadWhileNotifying) {
    constexpr int kOwners = 64;
    CUpdateNotifier notifier;
    std::atomic<int> total{0};
    std::vector<std::unique_ptr<Owner>> owners;
    for (int i = 0; i < kOwners; ++i) {
        owners.push_back(std::make_unique<Owner>(&total));
        owners.back()->attach(&notifier, 0);
    }
    notifier.notify(nullptr);
    EXPECT_EQ(total.load(), kOwners);

    std::atomic<bool> done{false};
    std::thread other([&] {
        for (auto& owner : owners)
            owner.reset();
        done = true;
    });
    // Each owner's handler writes to the owner: it must never run on a destroyed one.
    while (!done.load())
        notifier.notify(nullptr);
    other.join();
    EXPECT_EQ(notifier.entryCount(), 0u);
}
