#pragma once

#include <map>
#include <memory>
#include <vector>

#include "Core/CAttrValue.h"
#include "Core/CError.h"
#include "Core/Platform/CCriticalSection.h"

namespace qel {

class CObject;

// The tree context of a root tree: serial numbers of its objects and its event subscriptions.
class CNotifyServer {
public:
    int32_t nextSerial();

    void subscribe(CObject* listener, const CString& sender, const CString& eventName,
                   const CString& handler);
    void unsubscribe(CObject* listener);
    void unsubscribe(CObject* listener, const CString& sender);
    // Delivers to the subscribers of (sender, event): directly on their own thread, otherwise (or when
    // forced) through the bridge of the thread they belong to.
    CError* send(const CString& sender, const CString& eventName, CParamList& params, bool forceBridged);

private:
    struct Subscription {
        CObject* listener;
        CString handler;
    };
    struct Entry {
        CCriticalSection lock;
        std::map<CString, std::vector<Subscription>> senders;
    };

    CCriticalSection m_lock;
    uint32_t m_serial = 0;
    std::map<CString, std::unique_ptr<Entry>> m_events;
};

} // namespace qel
