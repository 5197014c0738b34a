#include "Other/CAudioInterfaceClient.h"

#include "Audio/Params/CAudioParamData.h"
#include "Other/CAudioInterfaceVizProcessor.h"

namespace qel {

namespace {

// Names in a message are read one by one, so a forged count stops at the end of the message; this
// only rejects what no instance could send.
constexpr int32_t kMaxCount = 65536;

void namesOf(const CAudioParamStorage& values, std::vector<CString>& names) {
    names.clear();
    for (int32_t e = 0; e < values.elementCount(0); ++e)
        names.push_back(values.pool().getString(CAudioParamData::indexOfValue(values.getValue(0, e, 0.0))));
}

} // namespace

void CAudioInterfaceClient::initClass(CClassRecord& record) {
    CParamInterfaceClient::initClass(record);
    using C = CAudioInterfaceClient;
    addMessage<C, &C::onClearClient>(record, "clear-client");
    addMessage<C, &C::onStartViz>(record, "start-viz");
    addMessage<C, &C::onStopViz>(record, "stop-viz");
    addMessage<C, &C::onVizData>(record, "viz-data");
    addMessage<C, &C::onExportSlotNames>(record, "export-slot-names");
    addMessage<C, &C::onUpdateInternalChannelCount>(record, "update-internal-channel-count");
    addMessage<C, &C::onUpdateGroupCount>(record, "update-group-count");
    addMessage<C, &C::onUpdateIoChannelCounts>(record, "update-io-channel-counts");
    addMessage<C, &C::onUpdateSampleRate>(record, "update-sample-rate");
}

void CAudioInterfaceClient::CGroupNamesParamListener::onParamInfo(int32_t, const CAudioParamInfo* info,
                                                                  const CAudioParamStorage* common) {
    if (info && common && info->dataType == CAudioParamInfo::String) namesOf(*common, m_client.m_groupNames);
}

void CAudioInterfaceClient::CGroupNamesParamListener::onParamValues(int32_t, int32_t group,
                                                                    const CAudioParamStorage& values) {
    if (group == 0) namesOf(values, m_client.m_groupNames);
}

CError* CAudioInterfaceClient::onConnected() {
    // A new client asks for what the base only sends when it changes.
    QEL_CHECK(requestInternalChannelCount());
    QEL_CHECK(requestGroupCount());
    QEL_CHECK(requestIoChannelCounts());
    QEL_CHECK(requestSampleRate());
    const CString groupNames = getAttr("group-names-param");
    if (!groupNames.isEmpty()) {
        int32_t handle = 0;
        QEL_CHECK(listenParam(groupNames, &m_groupNamesListener, handle));
    }
    return nullptr;
}

// Requests.

CError* CAudioInterfaceClient::requestInternalChannelCount() {
    return sendCommand("request-internal-channel-count");
}

CError* CAudioInterfaceClient::requestGroupCount() {
    return sendCommand("request-group-count");
}

CError* CAudioInterfaceClient::requestIoChannelCounts() {
    return sendCommand("request-io-channel-counts");
}

CError* CAudioInterfaceClient::requestSampleRate() {
    return sendCommand("request-sample-rate");
}

CError* CAudioInterfaceClient::requestExportSlotNames() {
    return sendCommand("request-export-slot-names");
}

CError* CAudioInterfaceClient::listenViz(int32_t slot, const CString& slotName, int32_t vizId) {
    CParamInterfaceMessage message("listen-viz");
    message.i32(slot).str(slotName).i32(vizId);
    return send(message);
}

CError* CAudioInterfaceClient::requestVizData(double time) {
    CParamInterfaceMessage message("request-viz-data");
    message.i32(int32_t(clientId())).f64(time);
    return send(message);
}

CError* CAudioInterfaceClient::unlistenViz(int32_t vizId) {
    return sendCommand("unlisten-viz", vizId);
}

CError* CAudioInterfaceClient::importChannelLabels() {
    return sendCommand("import-channel-labels");
}

// Messages.

CError* CAudioInterfaceClient::onClearClient() {
    if (m_vizProcessor) m_vizProcessor->onClearClient();
    return nullptr;
}

CError* CAudioInterfaceClient::onStartViz() {
    if (m_vizProcessor) m_vizProcessor->onStartViz();
    return nullptr;
}

CError* CAudioInterfaceClient::onStopViz() {
    if (m_vizProcessor) m_vizProcessor->onStopViz();
    return nullptr;
}

CError* CAudioInterfaceClient::onVizData() {
    return m_vizProcessor ? m_vizProcessor->onVizData(message()) : nullptr;
}

CError* CAudioInterfaceClient::readCount(int32_t& value) {
    QEL_CHECK(readI32(value));
    if (value < 0 || value > kMaxCount)
        return QEL_ERROR(fullName(), "@qelstr_CAudioInterfaceClient_readCount_Invalid Invalid count %1.",
                         value);
    return nullptr;
}

CError* CAudioInterfaceClient::onExportSlotNames() {
    int32_t count = 0;
    QEL_CHECK(readCount(count));
    std::vector<CString> names;
    for (int32_t i = 0; i < count; ++i) {
        CString name;
        QEL_CHECK(readStr(name));
        names.push_back(name);
    }
    m_exportSlotNames = std::move(names);
    return nullptr;
}

CError* CAudioInterfaceClient::onUpdateInternalChannelCount() {
    int32_t count = 0;
    QEL_CHECK(readCount(count));
    m_internalChannelCount = count;
    return nullptr;
}

CError* CAudioInterfaceClient::onUpdateGroupCount() {
    int32_t count = 0;
    QEL_CHECK(readCount(count));
    m_groupCount = count;
    return nullptr;
}

CError* CAudioInterfaceClient::onUpdateIoChannelCounts() {
    int32_t inputs = 0, outputs = 0, sidechains = 0;
    QEL_CHECK(readCount(inputs));
    QEL_CHECK(readCount(outputs));
    QEL_CHECK(readCount(sidechains));
    m_inputs = inputs;
    m_outputs = outputs;
    m_sidechains = sidechains;
    return nullptr;
}

CError* CAudioInterfaceClient::onUpdateSampleRate() {
    int32_t sequence = 0;
    double sampleRate = 0;
    QEL_CHECK(readI32(sequence));
    QEL_CHECK(readF64(sampleRate));
    if (sequence < m_sampleRateSequence) return nullptr;
    if (!(sampleRate > 0 && sampleRate < 1e7))
        return QEL_ERROR(fullName(),
                         "@qelstr_CAudioInterfaceClient_onUpdateSampleRate_Invalid Invalid sample rate.");
    m_sampleRateSequence = sequence;
    m_sampleRate = sampleRate;
    return nullptr;
}

} // namespace qel
