#include "UI/CUIEventBridge.h"

#include <cerrno>
#include <mutex>

#include "Core/Platform/CUIThread.h"

namespace qel {

namespace {

// Every plug-in instance of the process shares these, and the thread that delivers.
struct SBridges {
    std::mutex lock;
    std::map<CUIEventBridge*, bool> bridges;
    uint64_t sequence = 0;
};

SBridges& bridges() {
    // Never destroyed: deliveries may still run while the process exits.
    static SBridges* shared = new SBridges();
    return *shared;
}

} // namespace

CUIEventBridge::CUIEventBridge(CUIEventBridgeOwner& owner) : m_owner(owner) {
    SBridges& shared = bridges();
    std::lock_guard<std::mutex> guard(shared.lock);
    shared.bridges[this] = true;
}

CUIEventBridge::~CUIEventBridge() {
    SBridges& shared = bridges();
    std::lock_guard<std::mutex> guard(shared.lock);
    shared.bridges.erase(this);
    m_events.clear();
}

CError* CUIEventBridge::postParams(const CParamList& params) {
    auto copy = std::make_unique<CParamList>(params);
    SBridges& shared = bridges();
    uint64_t sequence = 0;
    {
        std::lock_guard<std::mutex> guard(shared.lock);
        if (!shared.bridges.count(this)) return nullptr;
        sequence = ++shared.sequence;
        m_events[sequence] = std::move(copy);
    }
    if (CUIThread::instance().tryPost([this, sequence] { deliver(this, sequence); })) return nullptr;

    // Nobody would ever take it.
    std::lock_guard<std::mutex> guard(shared.lock);
    if (shared.bridges.count(this)) m_events.erase(sequence);
    return QEL_ERROR({}, "@qelstr_CSystem_sendEvent_PostMessage Post message error %1.", ESRCH);
}

size_t CUIEventBridge::pendingEvents() const {
    SBridges& shared = bridges();
    std::lock_guard<std::mutex> guard(shared.lock);
    return m_events.size();
}

void CUIEventBridge::deliver(CUIEventBridge* bridge, uint64_t sequence) {
    std::unique_ptr<CParamList> params;
    CUIEventBridgeOwner* owner = nullptr;
    {
        SBridges& shared = bridges();
        std::lock_guard<std::mutex> guard(shared.lock);
        // The address may belong to a newer bridge by now: its map cannot hold this old number.
        if (!shared.bridges.count(bridge)) return;
        auto entry = bridge->m_events.find(sequence);
        if (entry == bridge->m_events.end()) return;
        params = std::move(entry->second);
        bridge->m_events.erase(entry);
        owner = &bridge->m_owner;
    }
    // Outside the lock: the handler may post, or destroy the bridge.
    if (CError* error = owner->onBridgeEvent(*params)) qelErrReport(error);
}

} // namespace qel
