#pragma once

#include <memory>

#include "Core/CEventBridge.h"
#include "Core/CObject.h"
#include "Core/Platform/CCriticalSection.h"

namespace qel {

class CThreadPump;

// Carries events from any thread onto the thread that built it: posted parameter lists are queued on
// that thread's pump and run there one at a time, in posting order. The parent's subtree belongs to
// that thread, so events sent to it from elsewhere come through here.
class CStdEventBridge : public CObject, public CEventBridge {
public:
    CStdEventBridge();
    ~CStdEventBridge() override;

    CError* init() override;

    // Any thread. The receiver is named by path and serial number only, so an event that arrives
    // after its receiver was destroyed or replaced is dropped.
    CError* postParams(const CParamList& params) override;
    // Owning thread: runs one received event.
    CError* deliver(CParamList& params);

    uint64_t ownerThreadId() const;

private:
    // Outlives the bridge in queued deliveries, which find it cleared once the bridge is gone.
    struct SLink {
        CCriticalSection lock;
        CStdEventBridge* bridge = nullptr;
    };

    std::shared_ptr<SLink> m_link;
    std::shared_ptr<CThreadPump> m_pump;
};

} // namespace qel
