#include "Other/CParamInterfaceClientConnector.h"

#include "Core/CMemoryReader.h"
#include "Other/CParamInterfaceClient.h"

namespace qel {

void CParamInterfaceClientConnector::initClass(CClassRecord& record) {
    CClassRecord::initObject(record);
    record.addEvent("process-base-data", [](CObject& object) {
        return static_cast<CParamInterfaceClientConnector&>(object).onProcessBaseData();
    });
    // Posted from the poll, so that a batch runs from the thread's event loop and not inside a tick.
    record.addEvent("process-base-data-proxy", [](CObject& object, CParamList&) {
        CError* error = static_cast<CParamInterfaceClientConnector&>(object).onProcessBaseData();
        if (error) qelErrReport(error);
        return static_cast<CError*>(nullptr);
    });
}

void CParamInterfaceClientConnector::setClient(CParamInterfaceClient* client) {
    CCriticalSectionGuard guard(m_processLock);
    m_client = client;
}

void CParamInterfaceClientConnector::queueBaseData(CByteBuffer message) {
    if (message.empty()) return;
    CCriticalSectionGuard guard(m_lock);
    m_pending.push_back(std::move(message));
}

CError* CParamInterfaceClientConnector::onProcessBaseData() {
    std::vector<CByteBuffer> batch;
    {
        CCriticalSectionGuard guard(m_lock);
        batch.swap(m_pending);
    }
    if (batch.empty()) return nullptr;
    CCriticalSectionGuard guard(m_processLock);
    if (!m_client)
        return QEL_ERROR(fullName(),
                         "@qelstr_CParamInterfaceClientConnector_onProcessBaseData_NoClientObject No "
                         "client object defined.");
    for (CByteBuffer& bytes : batch) {
        CMemoryReader reader(std::move(bytes));
        if (CError* error = m_client->handleMessage(reader)) return QEL_PASS_CTX(error, fullName());
    }
    return nullptr;
}

} // namespace qel
