#pragma once

#include <vector>

#include "Core/CInputStream.h"
#include "Core/CObject.h"
#include "Core/Platform/CCriticalSection.h"

namespace qel {

class CParamInterfaceClient;

// The user interface's end of the link to an interface base. Messages from the base wait in a pending
// list until the user-interface thread handles them in order ("process-base-data").
class CParamInterfaceClientConnector : public CObject {
public:
    // Hands one message to the base on the caller's thread; the base's error comes back.
    virtual CError* sendToBase(const CByteBuffer& message) = 0;
    uint32_t clientId() const { return m_clientId; }

    // The client registers itself when it finds this connector through its "client-connector".
    void setClient(CParamInterfaceClient* client);
    CParamInterfaceClient* client() const { return m_client; }

    // Any thread: appends a message from the base.
    void queueBaseData(CByteBuffer message);
    // User-interface thread: handles every pending message; a handler error drops the rest of the
    // batch and is returned.
    CError* onProcessBaseData();

    static void initClass(CClassRecord& record);

protected:
    uint32_t m_clientId = 0;

private:
    CCriticalSection m_lock{4000};
    CCriticalSection m_processLock{4000};
    std::vector<CByteBuffer> m_pending;
    CParamInterfaceClient* m_client = nullptr;
};

} // namespace qel
