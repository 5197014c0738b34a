#include "UI/CStdEventBridge.h"

#include "Core/Platform/CThreadPump.h"

namespace qel {

CStdEventBridge::CStdEventBridge() : m_link(std::make_shared<SLink>()), m_pump(CThreadPump::current()) {
    m_link->bridge = this;
}

CStdEventBridge::~CStdEventBridge() {
    CCriticalSectionGuard guard(m_link->lock);
    m_link->bridge = nullptr;
}

CError* CStdEventBridge::init() {
    QEL_CHECK(CObject::init());
    if (parent()) parent()->setThreadAffinity(ownerThreadId(), this);
    return nullptr;
}

uint64_t CStdEventBridge::ownerThreadId() const {
    return m_pump->ownerThreadId();
}

CError* CStdEventBridge::postParams(const CParamList& params) {
    m_pump->post([link = m_link, params = CParamList(params)]() mutable {
        CCriticalSectionGuard guard(link->lock);
        if (!link->bridge) return;
        if (CError* error = link->bridge->deliver(params)) qelErrReport(error);
    });
    return nullptr;
}

CError* CStdEventBridge::deliver(CParamList& params) {
    CObject* listener = findObject(params.text("listener"));
    if (!listener || listener->serial() != params.toInt("listener-id", -1)) return nullptr;
    // Taken first: the handler may destroy the listener.
    CString listenerName = listener->fullName();
    CError* error = listener->runEvent(params.text("listener-proc"), params);
    return error ? QEL_PASS_CTX(error, listenerName) : nullptr;
}

} // namespace qel
