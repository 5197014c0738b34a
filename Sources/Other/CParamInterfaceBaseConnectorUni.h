#pragma once

#include <map>
#include <memory>

#include "Other/CParamInterfaceBaseConnector.h"
#include "Other/SMessageQueue.h"

namespace qel {

class CParamInterfaceClientConnectorUni;

// "other:param-interface-base-connector-uni": the base connector for clients in the same process.
// Each connected client has a queue that the client empties on its timer.
class CParamInterfaceBaseConnectorUni : public CParamInterfaceBaseConnector {
public:
    ~CParamInterfaceBaseConnectorUni() override;

    void sendToClients(uint32_t clientId, CByteBuffer message) override;

    // A new client gets the next identifier; identifiers start at 1 and are never reused.
    uint32_t connect(CParamInterfaceClientConnectorUni* client);
    // Forgets the client and drops whatever was still queued for it.
    void disconnect(uint32_t clientId);
    // Takes the oldest queued message of a client; false when there is none.
    bool takeMessage(uint32_t clientId, CByteBuffer& message);

    size_t clientCount() const;
    size_t queuedCount(uint32_t clientId) const;

private:
    // Leaf lock: held only to touch the map and the queues, so senders on any thread never wait
    // behind a message being handled.
    mutable CCriticalSection m_queueLock{4000};
    uint32_t m_clientCounter = 0;
    std::map<uint32_t, CParamInterfaceClientConnectorUni*> m_clients;
    std::map<uint32_t, SMessageQueue> m_queues;
};

} // namespace qel
