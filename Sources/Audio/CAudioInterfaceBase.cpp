#include "Audio/CAudioInterfaceBase.h"

#include "Audio/CAudioInterfaceDataProvider.h"
#include "Audio/CAudioVizCollector.h"
#include "Audio/Params/CAudioParam.h"
#include "Audio/Params/CAudioParamCollector.h"
#include "Other/CParamInterfaceBaseConnector.h"
#include "Other/CParamInterfaceMessage.h"

namespace qel {

void CAudioInterfaceBase::initClass(CClassRecord& record) {
    CParamInterfaceBase::initClass(record);
    using B = CAudioInterfaceBase;
    addCommand<B, &B::onRequestInternalChannelCount>(record, "request-internal-channel-count");
    addCommand<B, &B::onRequestGroupCount>(record, "request-group-count");
    addCommand<B, &B::onRequestIoChannelCounts>(record, "request-io-channel-counts");
    addCommand<B, &B::onRequestSampleRate>(record, "request-sample-rate");
    addCommand<B, &B::onRequestExportSlotNames>(record, "request-export-slot-names");
    addCommand<B, &B::onListenViz>(record, "listen-viz");
    addCommand<B, &B::onRequestVizData>(record, "request-viz-data");
    addCommand<B, &B::onUnlistenViz>(record, "unlisten-viz");
    addCommand<B, &B::onImportChannelLabels>(record, "import-channel-labels");
}

void CAudioInterfaceBase::CExportSlotNameListener::onUpdate(const SUpdateRecord* record,
                                                            const SUpdateEntry&) {
    if (!record || record->kind != SAudioParamUpdate::kKind) return;
    if (static_cast<const SAudioParamUpdate*>(record)->param != &m_param) return;
    m_base.sendExportSlotNames(CParamInterfaceBaseConnector::kAllClients);
}

CAudioInterfaceBase::~CAudioInterfaceBase() {
    m_exportSlotNameListener.reset();
}

CError* CAudioInterfaceBase::init() {
    QEL_CHECK(CParamInterfaceBase::init());
    if (hasAttr("viz-collector"))
        if (CError* error = findObjectByAttr("viz-collector", m_vizCollector))
            return QEL_PASS_CTX(error, fullName());
    return nullptr;
}

CError* CAudioInterfaceBase::initComplete() {
    QEL_CHECK(CParamInterfaceBase::initComplete());
    const CString slotParam = m_vizCollector ? m_vizCollector->getAttr("export-slot-param") : CString();
    if (!slotParam.isEmpty() && collector()) {
        CAudioParam* param = collector()->getParam(slotParam);
        m_exportSlotNameListener = std::make_unique<CExportSlotNameListener>(*this, *param);
        m_exportSlotNameListener->attach(collector(), 0);
    }
    return nullptr;
}

void CAudioInterfaceBase::detachFromParent() {
    m_exportSlotNameListener.reset();
    CParamInterfaceBase::detachFromParent();
}

void CAudioInterfaceBase::setDataProvider(CAudioInterfaceDataProvider* provider) {
    m_provider = provider;
}

// Audio state.

void CAudioInterfaceBase::sendCommandOnly(const char* command) {
    CParamInterfaceMessage message(command);
    broadcast(message);
}

void CAudioInterfaceBase::sendStartViz() {
    if (m_vizCollector) m_vizCollector->setActive(true);
    sendCommandOnly("start-viz");
}

void CAudioInterfaceBase::sendStopViz() {
    if (m_vizCollector) m_vizCollector->setActive(false);
    sendCommandOnly("stop-viz");
}

void CAudioInterfaceBase::sendClearClient() {
    sendCommandOnly("clear-client");
}

void CAudioInterfaceBase::sendIoChannelCounts(uint32_t clientId) {
    CParamInterfaceMessage message("update-io-channel-counts");
    if (m_provider)
        message.i32(m_provider->getInputCount())
            .i32(m_provider->getOutputCount())
            .i32(m_provider->getSidechainCount());
    else
        message.i32(1).i32(1).i32(0);
    send(clientId, message);
}

void CAudioInterfaceBase::sendSampleRate(uint32_t clientId) {
    const double sampleRate = m_provider ? m_provider->getSampleRate() : 44100.0;
    // Built and queued under the lock, so that queues hold them in sequence order.
    CCriticalSectionGuard guard(m_sampleRateLock);
    CParamInterfaceMessage message("update-sample-rate");
    message.i32(++m_sampleRateSequence).f64(sampleRate);
    send(clientId, message);
}

void CAudioInterfaceBase::sendExportSlotNames(uint32_t clientId) {
    std::vector<CString> names;
    if (m_vizCollector) m_vizCollector->exportSlotNames(names);
    CParamInterfaceMessage message("export-slot-names");
    message.i32(int32_t(names.size()));
    for (const CString& name : names)
        message.str(name);
    send(clientId, message);
}

void CAudioInterfaceBase::onBeginEdit(const CAudioParam& param, int32_t group, int32_t element) {
    if (m_provider) m_provider->beginParamEdit(&param, element, group);
}

void CAudioInterfaceBase::onEndEdit(const CAudioParam& param, int32_t group, int32_t element) {
    if (m_provider) m_provider->endParamEdit(&param, element, group);
}

// Commands.

CError* CAudioInterfaceBase::onRequestInternalChannelCount() {
    CParamInterfaceMessage message("update-internal-channel-count");
    message.i32(m_provider ? m_provider->getIntChannelCount() : 1);
    send(sender(), message);
    return nullptr;
}

CError* CAudioInterfaceBase::onRequestGroupCount() {
    CParamInterfaceMessage message("update-group-count");
    message.i32(m_provider ? m_provider->getGroupCount() : 1);
    send(sender(), message);
    return nullptr;
}

CError* CAudioInterfaceBase::onRequestIoChannelCounts() {
    sendIoChannelCounts(sender());
    return nullptr;
}

CError* CAudioInterfaceBase::onRequestSampleRate() {
    sendSampleRate(sender());
    return nullptr;
}

CError* CAudioInterfaceBase::onRequestExportSlotNames() {
    sendExportSlotNames(sender());
    return nullptr;
}

CError* CAudioInterfaceBase::onListenViz() {
    int32_t slot = 0, id = 0;
    CString name;
    QEL_CHECK(readI32(slot));
    QEL_CHECK(readStr(name));
    QEL_CHECK(readI32(id));
    if (!m_vizCollector) return nullptr;
    return m_vizCollector->listen(slot, name, id);
}

CError* CAudioInterfaceBase::onRequestVizData() {
    int32_t clientId = 0;
    double time = 0;
    QEL_CHECK(readI32(clientId));
    QEL_CHECK(readF64(time));
    if (!m_vizCollector) return nullptr;
    CParamInterfaceMessage message("viz-data");
    message.check(m_vizCollector->writeVizData(message.stream()));
    send(uint32_t(clientId), message);
    return nullptr;
}

CError* CAudioInterfaceBase::onUnlistenViz() {
    int32_t id = 0;
    QEL_CHECK(readI32(id));
    if (m_vizCollector) m_vizCollector->unlisten(id);
    return nullptr;
}

CError* CAudioInterfaceBase::onImportChannelLabels() {
    if (m_provider) m_provider->importChannelLabels();
    return nullptr;
}

} // namespace qel
