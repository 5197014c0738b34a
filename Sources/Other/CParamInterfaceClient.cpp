#include "Other/CParamInterfaceClient.h"

#include "Other/CParamInterfaceClientConnector.h"
#include "Other/ParamValueBlock.h"

namespace qel {

std::set<CString>& CParamInterfaceClient::messageNames() {
    static std::set<CString> names;
    return names;
}

void CParamInterfaceClient::initClass(CClassRecord& record) {
    CClassRecord::initObject(record);
    using C = CParamInterfaceClient;
    addMessage<C, &C::onUpdateParamInfo>(record, "update-param-info");
    addMessage<C, &C::onUpdateParam>(record, "update-param");
    addMessage<C, &C::onUpdateRegistry>(record, "update-registry");
    addMessage<C, &C::onRegistryData>(record, "registry-data");
    addMessage<C, &C::onUpdateUndoHistory>(record, "update-undo-history");
}

CParamInterfaceClient::~CParamInterfaceClient() {
    if (m_connector) m_connector->setClient(nullptr);
}

CError* CParamInterfaceClient::initComplete() {
    QEL_CHECK(CObject::initComplete());
    if (CError* error = findObjectByAttr("client-connector", m_connector))
        return QEL_PASS_CTX(error, fullName());
    m_connector->setClient(this);
    return onConnected();
}

void CParamInterfaceClient::detachFromParent() {
    if (m_connector) m_connector->setClient(nullptr);
    m_connector = nullptr;
    CObject::detachFromParent();
}

uint32_t CParamInterfaceClient::clientId() const {
    return m_connector ? m_connector->clientId() : 0;
}

CError* CParamInterfaceClient::handleMessage(CMemoryReader& message) {
    CString command;
    if (CError* error = message.readString(command)) return QEL_PASS_CTX(error, fullName());
    if (!messageNames().count(command) || !classRecord().findEvent(command))
        return QEL_ERROR(fullName(),
                         "@qelstr_CParamInterfaceClient_handleMessage_UnknownMessage Unknown message '%1'.",
                         command);
    CMemoryReader* outer = m_message;
    m_message = &message;
    CError* error = runEvent(command);
    m_message = outer;
    return error;
}

CError* CParamInterfaceClient::send(CParamInterfaceMessage& message) {
    if (!m_connector)
        return QEL_ERROR(fullName(),
                         "@qelstr_CParamInterfaceClient_send_NoConnector No client connector defined.");
    CByteBuffer bytes = message.take();
    if (bytes.empty()) return nullptr;
    return m_connector->sendToBase(bytes);
}

CError* CParamInterfaceClient::sendCommand(const char* command) {
    CParamInterfaceMessage message(command);
    return send(message);
}

CError* CParamInterfaceClient::sendCommand(const char* command, int32_t value) {
    CParamInterfaceMessage message(command);
    message.i32(value);
    return send(message);
}

int32_t CParamInterfaceClient::nextHandle() {
    // Slots wrap after 65535 and skip the ones still in use.
    for (int32_t tries = 0; tries < 0xFFFF; ++tries) {
        m_slotCounter = m_slotCounter % 0xFFFF + 1;
        const int32_t handle = int32_t((clientId() << 16) | uint32_t(m_slotCounter));
        if (!m_params.count(handle) && !m_registries.count(handle)) return handle;
    }
    return 0;
}

// Parameters.

CError* CParamInterfaceClient::listenParam(const CString& name, CParamInterfaceParamListener* listener,
                                           int32_t& handle) {
    handle = nextHandle();
    m_params[handle].listener = listener;
    CParamInterfaceMessage message("listen-param");
    message.str(name).i32(handle);
    if (CError* error = send(message)) {
        m_params.erase(handle);
        return QEL_PASS_CTX(error, fullName());
    }
    return nullptr;
}

CError* CParamInterfaceClient::unlistenParam(int32_t handle) {
    m_params.erase(handle);
    return sendCommand("unlisten-param", handle);
}

CError* CParamInterfaceClient::changeParam(int32_t handle, int32_t flags, int32_t group,
                                           const CAudioParamStorage& values) {
    CParamInterfaceMessage message("change-param");
    message.i32(handle).i32(flags).check(qelWriteParamValueBlock(message.stream(), values, 0, group));
    return send(message);
}

CError* CParamInterfaceClient::setParamValue(int32_t handle, int32_t group, int32_t element, int32_t position,
                                             double value) {
    const SParamState* state = paramState(handle);
    if (!state || !state->info)
        return QEL_ERROR(fullName(),
                         "@qelstr_CParamInterfaceClient_setParamValue_UnknownParam No description of "
                         "parameter handle %1.",
                         handle);
    const CAudioParamInfo& info = *state->info;
    const int32_t size = info.elementSize;
    if (element < 0 || position < 0 || position >= size) return nullptr;
    auto known = state->groups.find(group);
    const CAudioParamStorage& source = known != state->groups.end() ? known->second : state->common;
    CAudioParamStorage values;
    values.setShape(size, info.dataType, info.isSingleGroup, info.isSingleElement);
    const int32_t elements = std::max(source.elementCount(0), element + 1);
    for (int32_t e = 0; e < elements; ++e)
        for (int32_t k = 0; k < size; ++k)
            values.setValue(0, e, k, source.getValue(0, e * size + k, 0.0));
    values.setValue(0, element, position, value);
    return changeParam(handle, 0, group, values);
}

CError* CParamInterfaceClient::resetParam(int32_t handle, int32_t group, int32_t firstElement, int32_t count,
                                          bool withUndo) {
    CParamInterfaceMessage message("reset-param");
    message.i32(handle).i32(group).i32(firstElement).i32(count).i32(withUndo ? 1 : 0);
    return send(message);
}

const CParamInterfaceClient::SParamState* CParamInterfaceClient::paramState(int32_t handle) const {
    auto state = m_params.find(handle);
    return state == m_params.end() ? nullptr : &state->second;
}

double CParamInterfaceClient::paramValue(int32_t handle, int32_t group, int32_t index,
                                         double fallback) const {
    const SParamState* state = paramState(handle);
    if (!state) return fallback;
    auto values = state->groups.find(group);
    if (values != state->groups.end()) return values->second.getValue(0, index, fallback);
    return state->common.getValue(0, index, fallback);
}

CError* CParamInterfaceClient::onUpdateParamInfo() {
    int32_t handle = 0, hasInfo = 0, reserved = 0, hasValue = 0, group = 0;
    QEL_CHECK(readI32(handle));
    QEL_CHECK(readI32(hasInfo));
    auto info = std::make_unique<CAudioParamInfo>();
    if (hasInfo) QEL_CHECK(info->load(message(), this));
    QEL_CHECK(readI32(reserved));
    QEL_CHECK(readI32(hasValue));
    CAudioParamStorage common;
    if (hasInfo && hasValue) QEL_CHECK(qelReadParamValueBlock(message(), *info, group, common));
    QEL_CHECK(readI32(reserved));

    auto state = m_params.find(handle);
    if (state == m_params.end()) return nullptr;
    SParamState& known = state->second;
    if (!hasInfo) {
        known.info.reset();
        if (known.listener) known.listener->onParamInfo(handle, nullptr, nullptr);
        return nullptr;
    }
    known.info = std::move(info);
    // The block holds the common value as its only group.
    known.common.copyFrom(common);
    if (known.listener) known.listener->onParamInfo(handle, known.info.get(), &known.common);
    return nullptr;
}

CError* CParamInterfaceClient::onUpdateParam() {
    int32_t handle = 0, group = 0;
    QEL_CHECK(readI32(handle));
    auto state = m_params.find(handle);
    // A handle given up meanwhile, or one whose description has not come yet.
    if (state == m_params.end() || !state->second.info) return nullptr;
    CAudioParamStorage values;
    QEL_CHECK(qelReadParamValueBlock(message(), *state->second.info, group, values));
    SParamState& known = state->second;
    known.groups[group].copyFrom(values);
    if (known.listener) known.listener->onParamValues(handle, group, known.groups[group]);
    return nullptr;
}

// Registries.

CError* CParamInterfaceClient::listenRegistry(const CString& name, CParamInterfaceRegistryListener* listener,
                                              int32_t& handle) {
    handle = nextHandle();
    m_registries[handle] = listener;
    CParamInterfaceMessage message("listen-registry");
    message.str(name).i32(handle);
    if (CError* error = send(message)) {
        m_registries.erase(handle);
        return QEL_PASS_CTX(error, fullName());
    }
    return nullptr;
}

CError* CParamInterfaceClient::unlistenRegistry(int32_t handle) {
    m_registries.erase(handle);
    m_registryStates.erase(handle);
    return sendCommand("unlisten-registry", handle);
}

CError* CParamInterfaceClient::setCurrentProgram(int32_t handle, int32_t index) {
    CParamInterfaceMessage message("set-current-program");
    message.i32(handle).i32(index);
    return send(message);
}

CError* CParamInterfaceClient::activateFactoryPreset(int32_t handle, int32_t index) {
    CParamInterfaceMessage message("activate-factory-preset");
    message.i32(handle).i32(index);
    return send(message);
}

CError* CParamInterfaceClient::activatePreset(int32_t handle, int32_t flags, const CByteBuffer& preset) {
    CParamInterfaceMessage message("activate-preset");
    message.i32(handle).i32(flags).check(message.stream().write(preset.data(), uint32_t(preset.size())));
    return send(message);
}

CError* CParamInterfaceClient::activateDefaultPreset(int32_t handle) {
    return sendCommand("activate-default-preset", handle);
}

CError* CParamInterfaceClient::setDefaultPreset(int32_t handle, const CByteBuffer& preset) {
    CParamInterfaceMessage message("set-default-preset");
    message.i32(handle).check(message.stream().write(preset.data(), uint32_t(preset.size())));
    return send(message);
}

CError* CParamInterfaceClient::renamePreset(int32_t handle, int32_t index, const CString& name) {
    CParamInterfaceMessage message("rename-preset");
    message.i32(handle).i32(index).str(name);
    return send(message);
}

CError* CParamInterfaceClient::requestPreset(int32_t handle, int32_t index, bool factory, int32_t group,
                                             int32_t tag) {
    CParamInterfaceMessage message("request-preset");
    message.i32(handle).i32(index).i32(factory ? 1 : 0).i32(group).i32(tag);
    return send(message);
}

CError* CParamInterfaceClient::requestBank(int32_t handle, int32_t bank, int32_t flag) {
    CParamInterfaceMessage message("request-bank");
    message.i32(handle).i32(bank).i32(flag);
    return send(message);
}

CError* CParamInterfaceClient::exchangeShadowPreset(int32_t handle) {
    return sendCommand("exchange-shadow-preset", handle);
}

CError* CParamInterfaceClient::updateShadowPreset(int32_t handle) {
    return sendCommand("update-shadow-preset", handle);
}

const SRegistryState* CParamInterfaceClient::registryState(int32_t handle) const {
    auto state = m_registryStates.find(handle);
    return state == m_registryStates.end() ? nullptr : &state->second;
}

CError* CParamInterfaceClient::onUpdateRegistry() {
    int32_t handle = 0, master = 0, count = 0;
    SRegistryState state;
    QEL_CHECK(readI32(handle));
    QEL_CHECK(readI32(master));
    QEL_CHECK(readStr(state.category));
    QEL_CHECK(readI32(state.currentProgram));
    QEL_CHECK(readI32(count));
    if (count < 0)
        return QEL_ERROR(fullName(),
                         "@qelstr_CParamInterfaceClient_onUpdateRegistry_InvalidCount Invalid program "
                         "count %1.",
                         count);
    // Read one by one: a forged count ends at the end of the message.
    for (int32_t i = 0; i < count; ++i) {
        CString name;
        QEL_CHECK(readStr(name));
        state.programNames.push_back(name);
    }
    state.isMaster = master != 0;
    auto listener = m_registries.find(handle);
    if (listener == m_registries.end()) return nullptr;
    m_registryStates[handle] = state;
    if (listener->second) listener->second->onRegistryState(handle, m_registryStates[handle]);
    return nullptr;
}

CError* CParamInterfaceClient::onRegistryData() {
    int32_t handle = 0;
    QEL_CHECK(readI32(handle));
    auto listener = m_registries.find(handle);
    if (listener == m_registries.end() || !listener->second) return nullptr;
    return listener->second->onRegistryData(handle, message());
}

// Undo.

CError* CParamInterfaceClient::requestUndoHistory() {
    return sendCommand("request-undo-history");
}

CError* CParamInterfaceClient::createUndoData(int32_t id, const CString& action, bool mergeable,
                                              int32_t value) {
    CParamInterfaceMessage message("create-undo-data");
    message.i32(id).str(action).i32(mergeable ? 1 : 0).i32(value);
    return send(message);
}

CError* CParamInterfaceClient::submitUndoData(int32_t id, const CString& action) {
    CParamInterfaceMessage message("submit-undo-data");
    message.i32(id).str(action);
    return send(message);
}

CError* CParamInterfaceClient::removeUndoData(int32_t id) {
    return sendCommand("remove-undo-data", id);
}

CError* CParamInterfaceClient::setUndoHistoryPos(int32_t position) {
    return sendCommand("set-undo-history-pos", position);
}

CError* CParamInterfaceClient::onUpdateUndoHistory() {
    int32_t position = 0, count = 0;
    QEL_CHECK(readI32(position));
    QEL_CHECK(readI32(count));
    if (count < 0 || position < 0 || position >= std::max(count, 1))
        return QEL_ERROR(fullName(),
                         "@qelstr_CParamInterfaceClient_onUpdateUndoHistory_Invalid Invalid undo history "
                         "(position %1 of %2).",
                         position, count);
    std::vector<CString> labels;
    for (int32_t i = 0; i < count; ++i) {
        CString label;
        QEL_CHECK(readStr(label));
        labels.push_back(label);
    }
    m_undoPosition = position;
    m_undoLabels = std::move(labels);
    return nullptr;
}

} // namespace qel
