#include "Core/CUpdateListener.h"

namespace qel {

CUpdateListener::~CUpdateListener() {
    CCriticalSectionGuard guard(m_lock);
    leaveNotifier();
}

void CUpdateListener::attach(CUpdateNotifier* notifier, int64_t requestedKey) {
    CCriticalSectionGuard guard(m_lock);
    leaveNotifier();
    m_notifier = notifier;
    if (notifier) m_subscribed = CUpdateNotifier::subscribeIfRegistered(notifier, this, requestedKey, m_key);
}

CUpdateNotifier* CUpdateListener::notifier() const {
    CCriticalSectionGuard guard(m_lock);
    return m_notifier;
}

int64_t CUpdateListener::key() const {
    CCriticalSectionGuard guard(m_lock);
    return m_key;
}

bool CUpdateListener::isSubscribed() const {
    CCriticalSectionGuard guard(m_lock);
    return m_subscribed;
}

void CUpdateListener::leaveNotifier() {
    while (m_subscribed) {
        if (CUpdateNotifier::unsubscribeIfRegistered(m_notifier, this, m_key)) {
            m_subscribed = false;
            return;
        }
        // The notifier has left the registry but its destructor still holds this listener and will
        // take our lock to release it; returning now would let it touch freed or re-attached state.
        m_released.reset();
        m_lock.leave();
        m_released.wait();
        m_lock.enter();
    }
}

void CUpdateListener::releaseFromGoneNotifier() {
    CCriticalSectionGuard guard(m_lock);
    m_notifier = nullptr;
    m_subscribed = false;
    // Set under our lock: a waiter re-entering the lock cannot finish before we are done here.
    m_released.set();
}

} // namespace qel
