#pragma once

#include <cstdint>
#include <map>
#include <set>

#include "Core/CCheckedObject.h"
#include "Core/Platform/CCriticalSection.h"

namespace qel {

class CUpdateListener;

// What changed. Notifier classes extend it with their own fields (the changed parameter, the data
// name, ...); the key selects which subscribers hear about it.
struct SUpdateRecord {
    uint64_t kind = 0;
    int64_t key = 0;
};

// The listeners subscribed to one key of a notifier.
struct SUpdateEntry {
    int64_t key = 0;
    std::set<CUpdateListener*> listeners; // ordered by address: the order of notification
};

// A data holder that others watch: listeners subscribe under a key and are called synchronously when
// that key changes. Notifiers and listeners may be destroyed in any order and on any thread; a
// process-wide registry of live notifiers tells a listener whether its notifier still exists.
class CUpdateNotifier : public CCheckedObject {
public:
    CUpdateNotifier();
    // Leaves the registry first, then detaches every listener still subscribed.
    ~CUpdateNotifier() override;

    // Calls every listener of the record's key (key 0 without a record) in ascending address order,
    // holding this notifier's lock. Listeners may detach themselves or others while being called.
    void notify(const SUpdateRecord* record);

    size_t entryCount() const;
    size_t listenerCount(int64_t key) const;

    // Whether a notifier lives at this address; never dereferences it.
    static bool isRegistered(const CUpdateNotifier* notifier);

protected:
    // The key a listener asking for requestedKey is actually subscribed under.
    virtual int64_t mapKey(int64_t requestedKey, CUpdateListener* listener);

private:
    friend class CUpdateListener;

    // Both run under the bucket lock of the notifier and do nothing when it is no longer registered.
    static bool subscribeIfRegistered(CUpdateNotifier* notifier, CUpdateListener* listener,
                                      int64_t requestedKey, int64_t& usedKey);
    static bool unsubscribeIfRegistered(CUpdateNotifier* notifier, CUpdateListener* listener, int64_t key);

    mutable CCriticalSection m_lock{4000};
    std::map<int64_t, SUpdateEntry> m_entries;
};

} // namespace qel
