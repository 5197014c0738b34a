#include "Other/CParamInterfaceClientConnectorUni.h"

#include "Core/CMemoryReader.h"
#include "Core/CTimerQueued.h"
#include "Other/CParamInterfaceBaseConnectorUni.h"

namespace qel {

void CParamInterfaceClientConnectorUni::initClass(CClassRecord& record) {
    CParamInterfaceClientConnector::initClass(record);
    record.addAttrHandler("fps", [](CObject& object, const CString&, const CAttrValue& value) {
        return static_cast<CParamInterfaceClientConnectorUni&>(object).onFps(value);
    });
    record.addEvent("timer-tick", [](CObject& object) {
        static_cast<CParamInterfaceClientConnectorUni&>(object).poll();
        return static_cast<CError*>(nullptr);
    });
}

CParamInterfaceClientConnectorUni::~CParamInterfaceClientConnectorUni() {
    disconnect();
}

CError* CParamInterfaceClientConnectorUni::initContent() {
    QEL_CHECK(CParamInterfaceClientConnector::initContent());
    auto* rootField = static_cast<CObject**>(root()->getAttrPointer("BaseConnectorRootPtr"));
    if (!rootField || !*rootField)
        return QEL_ERROR(fullName(),
                         "@qelstr_CParamInterfaceClientConnectorUni_init_NoBaseRoot No base connector "
                         "root specified.");
    CParamInterfaceBaseConnectorUni* base = nullptr;
    if (CError* error = (*rootField)->findObjectChecked(getAttr("base-connector"), base))
        return QEL_PASS_CTX(error, fullName());
    m_base = base;
    m_clientId = base->connect(this);

    const CString timerTag = getAttr("timer-tag");
    if (!timerTag.isEmpty())
        QEL_CHECK(CTimerQueued::createChildTimer(*this, timerTag, getAttr("fps"), "timer-tick", m_timer));
    return nullptr;
}

CError* CParamInterfaceClientConnectorUni::onFps(const CAttrValue& value) {
    if (m_timer) return m_timer->setAttr("fps", value.text(), true);
    return nullptr;
}

void CParamInterfaceClientConnectorUni::detachFromParent() {
    disconnect();
    CParamInterfaceClientConnector::detachFromParent();
}

void CParamInterfaceClientConnectorUni::disconnect() {
    if (m_base) m_base->disconnect(m_clientId);
    m_base = nullptr;
}

void CParamInterfaceClientConnectorUni::onBaseConnectorGone() {
    m_base = nullptr;
}

CError* CParamInterfaceClientConnectorUni::sendToBase(const CByteBuffer& message) {
    if (!m_base || message.empty()) return nullptr;
    CMemoryReader reader(message.data(), int32_t(message.size()));
    return m_base->processClientData(m_clientId, reader);
}

void CParamInterfaceClientConnectorUni::poll() {
    if (!m_base) return;
    bool any = false;
    CByteBuffer message;
    while (m_base->takeMessage(m_clientId, message)) {
        queueBaseData(std::move(message));
        any = true;
    }
    if (!any) return;
    uint64_t threadId = 0;
    CEventBridge* bridge = nullptr;
    CParamList params;
    CError* error = threadAffinity(threadId, bridge) && bridge
                        ? postEvent(this, fullName(), "process-base-data-proxy", params)
                        : onProcessBaseData();
    if (error) qelErrReport(error);
}

} // namespace qel
