#pragma once

#include <cstdint>

#include "Core/CMemoryReader.h"
#include "Core/CObject.h"
#include "Core/Platform/CCriticalSection.h"

namespace qel {

class CParamInterfaceBase;

// The audio side's end of the link between an interface base and its clients.
class CParamInterfaceBaseConnector : public CObject {
public:
    static constexpr uint32_t kAllClients = 0xFFFFFFFF;

    // Delivers a message to one client, or to every client with kAllClients. Any thread; never waits
    // for a client.
    virtual void sendToClients(uint32_t clientId, CByteBuffer message) = 0;

    ~CParamInterfaceBaseConnector() override;

    // Hands one message of a client to the base, on the caller's thread; sender names the client, so
    // that answers reach the one who asked.
    CError* processClientData(uint32_t sender, CMemoryReader& reader);

    // The base registers itself when it finds this connector through its "base-connector" attribute.
    void setBase(CParamInterfaceBase* base);
    CParamInterfaceBase* base() const { return m_base; }

protected:
    CCriticalSection m_lock{4000};

private:
    CParamInterfaceBase* m_base = nullptr;
};

} // namespace qel
