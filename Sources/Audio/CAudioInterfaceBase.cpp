#include "Audio/CAudioInterfaceBase.h"

#include <algorithm>

namespace qel {

void CAudioInterfaceBase::addStateListener(CStateListener* listener) {
    CCriticalSectionGuard guard(m_lock);
    m_listeners.push_back(listener);
}

void CAudioInterfaceBase::removeStateListener(CStateListener* listener) {
    CCriticalSectionGuard guard(m_lock);
    m_listeners.erase(std::remove(m_listeners.begin(), m_listeners.end(), listener), m_listeners.end());
}

void CAudioInterfaceBase::broadcast(const CString& message, int64_t sequence) {
    CCriticalSectionGuard guard(m_lock);
    for (CStateListener* listener : m_listeners)
        listener->onAudioState(message, sequence);
}

} // namespace qel
