#include "Core/CUpdateNotifier.h"

#include <cstdint>

#include "Core/CUpdateListener.h"

namespace qel {

namespace {

struct SRegistryBucket {
    CCriticalSection lock;
    std::set<const CUpdateNotifier*> notifiers;
};

constexpr size_t kBucketCount = 64;

SRegistryBucket& bucketOf(const CUpdateNotifier* notifier) {
    // Made by the first notifier's construction, so it outlives every notifier with static storage;
    // a library unload frees it with the library.
    static SRegistryBucket buckets[kBucketCount];
    uintptr_t a = reinterpret_cast<uintptr_t>(notifier);
    return buckets[((a >> 4) ^ (a >> 12) ^ (a >> 20) ^ (a >> 28)) & (kBucketCount - 1)];
}

} // namespace

CUpdateNotifier::CUpdateNotifier() {
    SRegistryBucket& bucket = bucketOf(this);
    CCriticalSectionGuard guard(bucket.lock);
    bucket.notifiers.insert(this);
}

CUpdateNotifier::~CUpdateNotifier() {
    {
        SRegistryBucket& bucket = bucketOf(this);
        CCriticalSectionGuard guard(bucket.lock);
        bucket.notifiers.erase(this);
    }
    // No listener reaches the entries through the registry any more. They are taken out under our
    // lock (after any notification still running) and released without it, so that a listener's lock
    // is never taken inside ours, the opposite of the order attach uses.
    std::map<int64_t, SUpdateEntry> entries;
    {
        CCriticalSectionGuard guard(m_lock);
        entries.swap(m_entries);
    }
    for (auto& [key, entry] : entries)
        for (CUpdateListener* listener : entry.listeners)
            listener->releaseFromGoneNotifier();
}

void CUpdateNotifier::notify(const SUpdateRecord* record) {
    const int64_t key = record ? record->key : 0;
    CCriticalSectionGuard guard(m_lock);
    // Looked up afresh after every call: a listener may have removed itself, another listener or
    // the whole entry.
    CUpdateListener* previous = nullptr;
    for (;;) {
        auto entry = m_entries.find(key);
        if (entry == m_entries.end()) return;
        auto& listeners = entry->second.listeners;
        auto next = previous ? listeners.upper_bound(previous) : listeners.begin();
        if (next == listeners.end()) return;
        previous = *next;
        previous->onUpdate(record, entry->second);
    }
}

size_t CUpdateNotifier::entryCount() const {
    CCriticalSectionGuard guard(m_lock);
    return m_entries.size();
}

size_t CUpdateNotifier::listenerCount(int64_t key) const {
    CCriticalSectionGuard guard(m_lock);
    auto entry = m_entries.find(key);
    return entry == m_entries.end() ? 0 : entry->second.listeners.size();
}

bool CUpdateNotifier::isRegistered(const CUpdateNotifier* notifier) {
    SRegistryBucket& bucket = bucketOf(notifier);
    CCriticalSectionGuard guard(bucket.lock);
    return bucket.notifiers.count(notifier) != 0;
}

int64_t CUpdateNotifier::mapKey(int64_t requestedKey, CUpdateListener*) {
    return requestedKey;
}

bool CUpdateNotifier::subscribeIfRegistered(CUpdateNotifier* notifier, CUpdateListener* listener,
                                            int64_t requestedKey, int64_t& usedKey) {
    SRegistryBucket& bucket = bucketOf(notifier);
    CCriticalSectionGuard bucketGuard(bucket.lock);
    if (!bucket.notifiers.count(notifier)) return false;
    usedKey = notifier->mapKey(requestedKey, listener);
    CCriticalSectionGuard guard(notifier->m_lock);
    SUpdateEntry& entry = notifier->m_entries[usedKey];
    entry.key = usedKey;
    entry.listeners.insert(listener);
    return true;
}

bool CUpdateNotifier::unsubscribeIfRegistered(CUpdateNotifier* notifier, CUpdateListener* listener,
                                              int64_t key) {
    SRegistryBucket& bucket = bucketOf(notifier);
    CCriticalSectionGuard bucketGuard(bucket.lock);
    if (!bucket.notifiers.count(notifier)) return false;
    CCriticalSectionGuard guard(notifier->m_lock);
    auto entry = notifier->m_entries.find(key);
    if (entry != notifier->m_entries.end()) {
        entry->second.listeners.erase(listener);
        if (entry->second.listeners.empty()) notifier->m_entries.erase(entry);
    }
    return true;
}

} // namespace qel
