#pragma once

#include <cstdint>
#include <map>
#include <memory>

#include "Core/CEventBridge.h"

namespace qel {

// Receives the events of its bridge on the user-interface thread.
class CUIEventBridgeOwner {
public:
    virtual ~CUIEventBridgeOwner() = default;
    virtual CError* onBridgeEvent(CParamList& params) = 0;
};

// Carries events from any thread onto the process-wide user-interface thread (CUIThread). Queued
// events wait in the bridge under a process-wide sequence number; the thread is handed only that
// number, so an event whose bridge is gone by then finds nothing and is dropped. Create and destroy
// bridges on the user-interface thread.
class CUIEventBridge : public CEventBridge {
public:
    explicit CUIEventBridge(CUIEventBridgeOwner& owner);
    ~CUIEventBridge() override;
    CUIEventBridge(const CUIEventBridge&) = delete;
    CUIEventBridge& operator=(const CUIEventBridge&) = delete;

    // Any thread.
    CError* postParams(const CParamList& params) override;
    // Events queued and not yet delivered.
    size_t pendingEvents() const;

private:
    static void deliver(CUIEventBridge* bridge, uint64_t sequence);

    CUIEventBridgeOwner& m_owner;
    std::map<uint64_t, std::unique_ptr<CParamList>> m_events; // under the process-wide bridge lock
};

} // namespace qel
