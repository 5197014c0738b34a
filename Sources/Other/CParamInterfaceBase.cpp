#include "Other/CParamInterfaceBase.h"

#include "Audio/Params/CAudioParam.h"
#include "Audio/Params/CAudioParamCollector.h"
#include "Audio/Params/CAudioParamInfo.h"
#include "Other/CParamInterfaceBaseConnector.h"
#include "Other/CParamInterfaceMessage.h"
#include "Other/ParamValueBlock.h"

namespace qel {

namespace {

// Groups a client may address besides the common value; far more than any channel layout has.
constexpr int32_t kMaxGroups = 256;

} // namespace

// Listeners.

CParamInterfaceBase::CParamListener::CParamListener(CParamInterfaceBase& base, CAudioParam& param,
                                                    int32_t handle)
    : m_base(base), m_param(param), m_handle(handle) {}

void CParamInterfaceBase::CParamListener::onUpdate(const SUpdateRecord* record, const SUpdateEntry&) {
    if (!record || record->kind != SAudioParamUpdate::kKind) return;
    const auto* update = static_cast<const SAudioParamUpdate*>(record);
    if (update->param != &m_param || !update->change) return;
    if (update->change->group == CAudioParamStorage::kCommonGroup)
        m_base.sendParamInfo(m_handle, m_param);
    else
        m_base.sendParamValues(m_handle, m_param, update->change->group);
}

// Set-up.

std::set<CString>& CParamInterfaceBase::commandNames() {
    static std::set<CString> names;
    return names;
}

void CParamInterfaceBase::initClass(CClassRecord& record) {
    CClassRecord::initObject(record);
    using B = CParamInterfaceBase;
    addCommand<B, &B::onListenParam>(record, "listen-param");
    addCommand<B, &B::onUnlistenParam>(record, "unlisten-param");
    addCommand<B, &B::onChangeParam>(record, "change-param");
    addCommand<B, &B::onResetParam>(record, "reset-param");
    addCommand<B, &B::onListenRegistry>(record, "listen-registry");
    addCommand<B, &B::onUnlistenRegistry>(record, "unlisten-registry");
    addCommand<B, &B::onSetCurrentProgram>(record, "set-current-program");
    addCommand<B, &B::onActivateFactoryPreset>(record, "activate-factory-preset");
    addCommand<B, &B::onActivatePreset>(record, "activate-preset");
    addCommand<B, &B::onActivateDefaultPreset>(record, "activate-default-preset");
    addCommand<B, &B::onSetDefaultPreset>(record, "set-default-preset");
    addCommand<B, &B::onRenamePreset>(record, "rename-preset");
    addCommand<B, &B::onRequestPreset>(record, "request-preset");
    addCommand<B, &B::onRequestBank>(record, "request-bank");
    addCommand<B, &B::onExchangeShadowPreset>(record, "exchange-shadow-preset");
    addCommand<B, &B::onUpdateShadowPreset>(record, "update-shadow-preset");
    addCommand<B, &B::onRequestUndoHistory>(record, "request-undo-history");
    addCommand<B, &B::onCreateUndoData>(record, "create-undo-data");
    addCommand<B, &B::onSubmitUndoData>(record, "submit-undo-data");
    addCommand<B, &B::onRemoveUndoData>(record, "remove-undo-data");
    addCommand<B, &B::onSetUndoHistoryPos>(record, "set-undo-history-pos");
}

CParamInterfaceBase::~CParamInterfaceBase() {
    if (m_connector) m_connector->setBase(nullptr);
    m_paramListeners.clear();
    m_registryListeners.clear();
}

CError* CParamInterfaceBase::init() {
    QEL_CHECK(CAudioParamUndo::init());
    if (hasAttr("base-connector"))
        if (CError* error = findObjectByAttr("base-connector", m_connector))
            return QEL_PASS_CTX(error, fullName());
    return nullptr;
}

CError* CParamInterfaceBase::initComplete() {
    QEL_CHECK(CAudioParamUndo::initComplete());
    if (m_connector) m_connector->setBase(this);
    return nullptr;
}

void CParamInterfaceBase::detachFromParent() {
    if (m_connector) m_connector->setBase(nullptr);
    m_connector = nullptr;
    {
        CCriticalSectionGuard guard(m_lock);
        m_paramListeners.clear();
        m_registryListeners.clear();
    }
    CAudioParamUndo::detachFromParent();
}

void CParamInterfaceBase::onConnectorGone(CParamInterfaceBaseConnector* connector) {
    if (m_connector == connector) m_connector = nullptr;
}

// Messages.

CError* CParamInterfaceBase::handleMessage(uint32_t sender, CMemoryReader& message) {
    CCriticalSectionGuard guard(m_lock);
    CString command;
    if (CError* error = message.readString(command)) return QEL_PASS_CTX(error, fullName());
    if (!commandNames().count(command) || !classRecord().findEvent(command))
        return QEL_ERROR(fullName(),
                         "@qelstr_CParamInterfaceBase_handleMessage_UnknownCommand Unknown command '%1'.",
                         command);
    CMemoryReader* outerMessage = m_message;
    const uint32_t outerSender = m_sender;
    m_message = &message;
    m_sender = sender;
    CError* error = runEvent(command);
    m_message = outerMessage;
    m_sender = outerSender;
    return error;
}

CError* CParamInterfaceBase::readI32(int32_t& value) {
    return m_message->readValue(value);
}

CError* CParamInterfaceBase::readF64(double& value) {
    return m_message->readValue(value);
}

CError* CParamInterfaceBase::readStr(CString& text) {
    return m_message->readString(text);
}

void CParamInterfaceBase::send(uint32_t clientId, CParamInterfaceMessage& message) {
    CByteBuffer bytes = message.take();
    if (m_connector && !bytes.empty()) m_connector->sendToClients(clientId, std::move(bytes));
}

void CParamInterfaceBase::broadcast(CParamInterfaceMessage& message) {
    send(CParamInterfaceBaseConnector::kAllClients, message);
}

void CParamInterfaceBase::sendParamInfo(int32_t handle, CAudioParam& param) {
    CParamInterfaceMessage message("update-param-info");
    message.i32(handle);
    {
        CAudioParam::CAccess access(param, nullptr);
        if (param.info()) {
            message.i32(1).check(param.info()->save(message.stream())).i32(0).i32(1);
            message.check(qelWriteParamValueBlock(message.stream(), param, CAudioParamStorage::kCommonGroup));
            message.i32(0);
        } else {
            message.i32(0).i32(0).i32(0).i32(0);
        }
    }
    send(clientOf(handle), message);
}

void CParamInterfaceBase::sendParamValues(int32_t handle, CAudioParam& param, int32_t group) {
    CParamInterfaceMessage message("update-param");
    message.i32(handle);
    {
        CAudioParam::CAccess access(param, nullptr);
        message.check(qelWriteParamValueBlock(message.stream(), param, group));
    }
    send(clientOf(handle), message);
}

void CParamInterfaceBase::sendUndoHistory(uint32_t clientId) {
    std::vector<CString> labels;
    int32_t position = 0;
    this->labels(labels, position);
    CParamInterfaceMessage message("update-undo-history");
    message.i32(position).i32(int32_t(labels.size()));
    for (const CString& label : labels)
        message.str(label);
    send(clientId, message);
}

void CParamInterfaceBase::onHistoryChanged() {
    sendUndoHistory(CParamInterfaceBaseConnector::kAllClients);
}

void CParamInterfaceBase::onBeginEdit(const CAudioParam&, int32_t, int32_t) {}

void CParamInterfaceBase::onEndEdit(const CAudioParam&, int32_t, int32_t) {}

size_t CParamInterfaceBase::paramListenerCount() const {
    CCriticalSectionGuard guard(m_lock);
    return m_paramListeners.size();
}

size_t CParamInterfaceBase::openUndoDataCount() const {
    CCriticalSectionGuard guard(m_lock);
    return m_undoData.size();
}

// Parameter commands.

CError* CParamInterfaceBase::readParam(int32_t& handle, CAudioParam*& param) {
    QEL_CHECK(readI32(handle));
    auto listener = m_paramListeners.find(handle);
    if (listener == m_paramListeners.end())
        return QEL_ERROR(fullName(),
                         "@qelstr_CParamInterfaceBase_readParam_UnknownHandle Unknown listener handle %1.",
                         handle);
    param = &listener->second->param();
    return nullptr;
}

CError* CParamInterfaceBase::onListenParam() {
    CString name;
    int32_t handle = 0;
    QEL_CHECK(readStr(name));
    QEL_CHECK(readI32(handle));
    if (m_paramListeners.count(handle)) return nullptr;
    if (!collector())
        return QEL_ERROR(fullName(),
                         "@qelstr_CParamInterfaceBase_onListenParam_NoCollector No parameter collector "
                         "defined.");
    if (name.isEmpty())
        return QEL_ERROR(fullName(),
                         "@qelstr_CParamInterfaceBase_onListenParam_NoName No parameter name given.");
    CAudioParam* param = collector()->getParam(name);
    auto listener = std::make_unique<CParamListener>(*this, *param, handle);
    {
        CAudioParam::CAccess access(*param, nullptr);
        listener->attach(collector(), 0);
    }
    m_paramListeners[handle] = std::move(listener);

    sendParamInfo(handle, *param);
    int32_t groups = 0;
    {
        CAudioParam::CAccess access(*param, nullptr);
        groups = param->info() ? param->values().groupCount() : 0;
    }
    for (int32_t g = 0; g < groups; ++g)
        sendParamValues(handle, *param, g);
    return nullptr;
}

CError* CParamInterfaceBase::onUnlistenParam() {
    int32_t handle = 0;
    QEL_CHECK(readI32(handle));
    m_paramListeners.erase(handle);
    return nullptr;
}

CError* CParamInterfaceBase::onChangeParam() {
    int32_t handle = 0, flags = 0, group = 0;
    CAudioParam* param = nullptr;
    QEL_CHECK(readParam(handle, param));
    QEL_CHECK(readI32(flags));
    const CAudioParamInfo* info = param->info();
    if (!info)
        return QEL_ERROR(fullName(),
                         "@qelstr_CParamInterfaceBase_onChangeParam_NoInfo Parameter '%1' has no "
                         "description.",
                         param->name());
    CAudioParamStorage values;
    QEL_CHECK(qelReadParamValueBlock(message(), *info, group, values));
    if (group != CAudioParamStorage::kCommonGroup && (group < 0 || group >= kMaxGroups))
        return QEL_ERROR(fullName(),
                         "@qelstr_CParamInterfaceBase_onChangeParam_InvalidGroup Invalid group %1.", group);
    const int32_t elements = values.elementCount(0);
    if (elements <= 0) return nullptr;

    SAudioParamChange change;
    change.group = group;
    change.firstElement = 0;
    change.elementCount = elements;
    change.values = values.groupValues(0);
    change.pool = &values.pool();
    change.flags = uint32_t(flags);

    // A change outside an open undo data is one gesture of its own, merged with the next change of
    // the same parameter.
    SUndoData single;
    SUndoData* undo = &single;
    if (m_openUndo) {
        auto open = m_undoData.find(*m_openUndo);
        if (open != m_undoData.end()) undo = &open->second;
    }
    if (undo == &single)
        single.record = std::make_unique<CAudioParamUndoRecord>(
            info->visualName.isEmpty() ? info->name : info->visualName, true, handle);
    for (int32_t e = 0; e < elements; ++e)
        if (undo->edits.emplace(param, group, e).second) onBeginEdit(*param, group, e);
    param->applyChange(change, nullptr, nullptr, undo->record.get());
    if (undo == &single) {
        add(std::move(single.record));
        endEdits(single);
    }
    return nullptr;
}

CError* CParamInterfaceBase::onResetParam() {
    int32_t handle = 0, group = 0, firstElement = 0, count = 0, withUndo = 0;
    CAudioParam* param = nullptr;
    QEL_CHECK(readParam(handle, param));
    QEL_CHECK(readI32(group));
    QEL_CHECK(readI32(firstElement));
    QEL_CHECK(readI32(count));
    QEL_CHECK(readI32(withUndo));
    if (group < -1 || group >= kMaxGroups || firstElement < 0)
        return QEL_ERROR(fullName(),
                         "@qelstr_CParamInterfaceBase_onResetParam_InvalidSelector Invalid reset "
                         "selector %1, %2.",
                         group, firstElement);
    if (group >= 0) {
        CAudioParam::CAccess access(*param, nullptr);
        const int32_t elements =
            std::max(param->resetValues().elementCount(group), param->values().elementCount(group));
        if (firstElement > elements || count > elements - firstElement)
            return QEL_ERROR(fullName(),
                             "@qelstr_CParamInterfaceBase_onResetParam_InvalidRange Invalid reset range "
                             "%1, %2 (the parameter has %3 elements).",
                             firstElement, count, elements);
    }
    std::unique_ptr<CAudioParamUndoRecord> record;
    if (withUndo)
        record = std::make_unique<CAudioParamUndoRecord>(
            (param->info() && !param->info()->visualName.isEmpty() ? param->info()->visualName
                                                                   : param->name()) +
            " reset");
    param->reset(group, firstElement, count, this, nullptr, record.get());
    if (record) add(std::move(record));
    return nullptr;
}

// Undo commands.

bool CParamInterfaceBase::takeUndoData(int32_t id, SUndoData& taken) {
    auto data = m_undoData.find(id);
    if (data == m_undoData.end()) return false;
    taken = std::move(data->second);
    m_undoData.erase(data);
    if (m_openUndo == id) m_openUndo.reset();
    return true;
}

void CParamInterfaceBase::endEdits(SUndoData& data) {
    for (const auto& [param, group, element] : data.edits)
        onEndEdit(*param, group, element);
    data.edits.clear();
}

CError* CParamInterfaceBase::onRequestUndoHistory() {
    sendUndoHistory(m_sender);
    return nullptr;
}

CError* CParamInterfaceBase::onCreateUndoData() {
    int32_t id = 0, flag = 0, value = 0;
    CString label;
    QEL_CHECK(readI32(id));
    QEL_CHECK(readStr(label));
    QEL_CHECK(readI32(flag));
    QEL_CHECK(readI32(value));
    if (m_undoData.count(id)) return nullptr;
    m_undoData[id].record = std::make_unique<CAudioParamUndoRecord>(label, flag != 0, value);
    m_openUndo = id;
    return nullptr;
}

CError* CParamInterfaceBase::onSubmitUndoData() {
    int32_t id = 0;
    CString label;
    QEL_CHECK(readI32(id));
    QEL_CHECK(readStr(label));
    SUndoData taken;
    if (!takeUndoData(id, taken)) return nullptr;
    if (!label.isEmpty()) taken.record->setLabel(label);
    add(std::move(taken.record));
    endEdits(taken);
    return nullptr;
}

CError* CParamInterfaceBase::onRemoveUndoData() {
    int32_t id = 0;
    QEL_CHECK(readI32(id));
    SUndoData taken;
    if (takeUndoData(id, taken)) endEdits(taken);
    return nullptr;
}

CError* CParamInterfaceBase::onSetUndoHistoryPos() {
    int32_t position = 0;
    QEL_CHECK(readI32(position));
    if (position < 0 || position > count())
        return QEL_ERROR(fullName(),
                         "@qelstr_CParamInterfaceBase_onSetUndoHistoryPos_InvalidPosition Invalid undo "
                         "history position %1.",
                         position);
    goToPosition(position);
    return nullptr;
}

} // namespace qel
