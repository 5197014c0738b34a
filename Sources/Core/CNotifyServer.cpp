#include "Core/CNotifyServer.h"

#include "Core/CEventBridge.h"
#include "Core/CObject.h"
#include "Core/Platform/PlatformSystem.h"

namespace qel {

int32_t CNotifyServer::nextSerial() {
    CCriticalSectionGuard guard(m_lock);
    return int32_t(m_serial++);
}

void CNotifyServer::subscribe(CObject* listener, const CString& sender, const CString& eventName,
                              const CString& handler) {
    CCriticalSectionGuard guard(m_lock);
    auto& entry = m_events[eventName];
    if (!entry) entry = std::make_unique<Entry>();
    CCriticalSectionGuard entryGuard(entry->lock);
    entry->senders[sender].push_back({listener, handler});
}

void CNotifyServer::unsubscribe(CObject* listener) {
    CCriticalSectionGuard guard(m_lock);
    for (auto event = m_events.begin(); event != m_events.end();) {
        {
            CCriticalSectionGuard entryGuard(event->second->lock);
            auto& senders = event->second->senders;
            for (auto it = senders.begin(); it != senders.end();) {
                std::erase_if(it->second,
                              [listener](const Subscription& s) { return s.listener == listener; });
                it = it->second.empty() ? senders.erase(it) : std::next(it);
            }
        }
        event = event->second->senders.empty() ? m_events.erase(event) : std::next(event);
    }
}

void CNotifyServer::unsubscribe(CObject* listener, const CString& sender) {
    CCriticalSectionGuard guard(m_lock);
    for (auto event = m_events.begin(); event != m_events.end();) {
        {
            CCriticalSectionGuard entryGuard(event->second->lock);
            auto& senders = event->second->senders;
            auto it = senders.find(sender);
            if (it != senders.end()) {
                std::erase_if(it->second,
                              [listener](const Subscription& s) { return s.listener == listener; });
                if (it->second.empty()) senders.erase(it);
            }
        }
        event = event->second->senders.empty() ? m_events.erase(event) : std::next(event);
    }
}

CError* CNotifyServer::send(const CString& sender, const CString& eventName, CParamList& params,
                            bool forceBridged) {
    std::vector<Subscription> direct;
    {
        CCriticalSectionGuard guard(m_lock);
        auto event = m_events.find(eventName);
        if (event == m_events.end()) return nullptr;
        params.set("sender", sender);
        params.set("event-name", eventName);
        CCriticalSectionGuard entryGuard(event->second->lock);
        auto list = event->second->senders.find(sender);
        if (list == event->second->senders.end()) return nullptr;
        uint64_t thread = platform::currentThreadId();
        for (const Subscription& subscription : list->second) {
            uint64_t listenerThread = 0;
            CEventBridge* bridge = nullptr;
            if (!subscription.listener->threadAffinity(listenerThread, bridge)) continue;
            if (forceBridged || listenerThread != thread) {
                if (!bridge) continue;
                params.set("listener", subscription.listener->fullName());
                params.setInt("listener-id", subscription.listener->serial());
                params.set("listener-proc", subscription.handler);
                QEL_CHECK(bridge->postParams(params));
            } else {
                direct.push_back(subscription);
            }
        }
    }
    for (const Subscription& subscription : direct)
        QEL_CHECK(subscription.listener->runEvent(subscription.handler, params));
    return nullptr;
}

} // namespace qel
