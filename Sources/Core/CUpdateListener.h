#pragma once

#include <cstdint>

#include "Core/CCheckedObject.h"
#include "Core/CUpdateNotifier.h"
#include "Core/Platform/CCriticalSection.h"
#include "Core/Platform/CEvent.h"

namespace qel {

// Watches one key of one notifier. Derived classes whose onUpdate uses their own members call
// detach() in their destructor, so that no notification reaches a half-destroyed object.
class CUpdateListener : public CCheckedObject {
public:
    CUpdateListener() = default;
    // Unsubscribes when the notifier still exists; safe in any order against its destruction.
    ~CUpdateListener() override;

    // Moves the subscription to requestedKey (as mapped by the notifier) of notifier; null only
    // detaches. A notifier that no longer exists leaves the listener unsubscribed.
    void attach(CUpdateNotifier* notifier, int64_t requestedKey);
    void detach() { attach(nullptr, 0); }

    // Null when never attached, detached, or after the notifier was destroyed.
    CUpdateNotifier* notifier() const;
    int64_t key() const;
    bool isSubscribed() const;

protected:
    friend class CUpdateNotifier;

    // Called by the notifier, with its lock held; entry is the subscription being notified and is
    // valid until the listener changes its subscription.
    virtual void onUpdate(const SUpdateRecord* record, const SUpdateEntry& entry) = 0;

private:
    // With m_lock held once: ends the current subscription, waiting for a notifier that is being
    // destroyed to let go of this listener.
    void leaveNotifier();
    // The dying notifier's last touch of this listener.
    void releaseFromGoneNotifier();

    mutable CCriticalSection m_lock;
    CUpdateNotifier* m_notifier = nullptr;
    int64_t m_key = 0;
    // True exactly while m_notifier's entry for m_key holds this listener.
    bool m_subscribed = false;
    CEvent m_released;
};

} // namespace qel
