#include "Other/CParamInterfaceBaseConnectorUni.h"

#include "Other/CParamInterfaceClientConnectorUni.h"

namespace qel {

CParamInterfaceBaseConnectorUni::~CParamInterfaceBaseConnectorUni() {
    // Clients of an editor still open lose their link instead of reaching a destroyed connector.
    std::map<uint32_t, CParamInterfaceClientConnectorUni*> clients;
    {
        CCriticalSectionGuard guard(m_queueLock);
        clients.swap(m_clients);
        m_queues.clear();
    }
    for (auto& [id, client] : clients)
        client->onBaseConnectorGone();
}

void CParamInterfaceBaseConnectorUni::sendToClients(uint32_t clientId, CByteBuffer message) {
    if (message.empty()) return;
    CCriticalSectionGuard guard(m_queueLock);
    if (clientId != kAllClients) {
        auto queue = m_queues.find(clientId);
        if (queue != m_queues.end()) queue->second.push(std::move(message));
        return;
    }
    // Every client but the last gets a copy; the last takes the buffer itself.
    for (auto queue = m_queues.begin(); queue != m_queues.end(); ++queue) {
        if (std::next(queue) == m_queues.end())
            queue->second.push(std::move(message));
        else
            queue->second.push(message);
    }
}

uint32_t CParamInterfaceBaseConnectorUni::connect(CParamInterfaceClientConnectorUni* client) {
    CCriticalSectionGuard guard(m_queueLock);
    const uint32_t id = ++m_clientCounter;
    m_clients[id] = client;
    m_queues[id];
    return id;
}

void CParamInterfaceBaseConnectorUni::disconnect(uint32_t clientId) {
    CCriticalSectionGuard guard(m_queueLock);
    m_clients.erase(clientId);
    m_queues.erase(clientId);
}

bool CParamInterfaceBaseConnectorUni::takeMessage(uint32_t clientId, CByteBuffer& message) {
    CCriticalSectionGuard guard(m_queueLock);
    auto queue = m_queues.find(clientId);
    return queue != m_queues.end() && queue->second.pop(message);
}

size_t CParamInterfaceBaseConnectorUni::clientCount() const {
    CCriticalSectionGuard guard(m_queueLock);
    return m_clients.size();
}

size_t CParamInterfaceBaseConnectorUni::queuedCount(uint32_t clientId) const {
    CCriticalSectionGuard guard(m_queueLock);
    auto queue = m_queues.find(clientId);
    return queue == m_queues.end() ? 0 : queue->second.size();
}

} // namespace qel
