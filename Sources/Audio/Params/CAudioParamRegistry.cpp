#include "Audio/Params/CAudioParamRegistry.h"

#include "Audio/Params/CAudioParam.h"
#include "Audio/Params/CAudioParamCollector.h"
#include "Audio/Params/CAudioParamDef.h"
#include "Core/CMemoryReader.h"
#include "UI/CAppDataGlobal.h"
#include "UI/CAppDataLocal.h"

namespace qel {

void CAudioParamRegistry::initClass(CClassRecord& record) {
    CClassRecord::initObject(record);
}

CAudioParamRegistry::CAudioParamRegistry() : m_nameListener(*this) {}

CAudioParamRegistry::~CAudioParamRegistry() {
    m_nameListener.detach();
    if (m_collector) m_collector->removeRegistry(this);
}

void CAudioParamRegistry::detachFromParent() {
    m_nameListener.detach();
    if (m_collector) m_collector->removeRegistry(this);
    m_collector = nullptr;
    CObject::detachFromParent();
}

CError* CAudioParamRegistry::parseRemaps(const CString& text) {
    m_remaps.clear();
    for (const CString& piece : text.split(' ')) {
        std::vector<CString> parts = piece.split('=');
        if (parts.size() != 2)
            return QEL_ERROR(
                fullName(),
                "@qelstr_CAudioParamRegistry_init_InvalidRemap Invalid remapping string '%1' defined.", text);
        m_remaps.emplace_back(parts[0], parts[1]);
    }
    return nullptr;
}

CError* CAudioParamRegistry::init() {
    QEL_CHECK(CObject::init());
    m_hierarchy = getAttr("hierarchy");
    if (!m_hierarchy.isEmpty() && !m_hierarchy.endsWith(".")) m_hierarchy += ".";
    QEL_CHECK(parseRemaps(getAttr("def-name-remap")));
    m_isMaster = getAttrBool("is-master");
    m_isEnumerated = getAttrBool("is-enumerated");
    m_isElementEnum = getAttrBool("is-element-enum");
    m_id = getAttr("id");
    m_isGlobalParamStorable = getAttrBool("is-global-param-storable");
    if (CError* error = findObjectByAttr("param-collector", m_collector))
        return QEL_PASS_CTX(error, fullName());

    CCriticalSectionGuard guard(m_bankLock);
    m_presetNaming = getAttr("preset-naming");
    m_undo = nullptr;
    if (!getAttr("param-undo").isEmpty())
        if (CError* error = findObjectByAttr("param-undo", m_undo)) {
            qelErrRelease(error);
            m_undo = nullptr;
        }
    const CString presetNameParam = getAttr("preset-name-param");
    m_presetNameParam = presetNameParam.isEmpty() ? nullptr : m_collector->getParam(presetNameParam);
    const CString groupNamesParam = getAttr("group-names-param");
    m_groupNamesParam = groupNamesParam.isEmpty() ? nullptr : m_collector->getParam(groupNamesParam);
    setUpBanks();
    return nullptr;
}

void CAudioParamRegistry::setUpBanks() {
    if (m_isMaster) {
        m_factoryBank = std::make_unique<CAudioPresetBank>();
        m_sessionBank = std::make_unique<CAudioPresetBank>();
        const CString file = getAttr("file");
        if (!file.isEmpty()) {
            if (CError* error = m_factoryBank->loadFile(file)) {
                qelErrLog(error);
                m_factoryBank->copyFrom(*m_sessionBank);
            } else {
                m_sessionBank->copyFrom(*m_factoryBank);
            }
        }
        m_factoryBank->setName("Factory ROM");
        m_sessionBank->setName("Session Bank");
        if (m_sessionBank->presetCount() == 0) m_sessionBank->addPreset().setName(m_id + ":Default");
        m_programSlots.clear();
        m_programSlots.resize(size_t(m_sessionBank->presetCount()));
        CAudioPreset userDefault;
        CByteBuffer block;
        if (CAppDataLocal::instance().get("default-preset", CAudioPreset::kResourceType, block)) {
            CMemoryReader reader(std::move(block));
            if (CError* error = userDefault.load(reader))
                qelErrLog(error);
            else {
                m_sessionBank->preset(0)->copyFrom(userDefault);
                m_hasUserDefault = true;
            }
        }
        return;
    }
    const CString storeName = getAttr("store-name");
    if (!m_isEnumerated || storeName.isEmpty()) return;
    const bool global = storeName.startsWith("/");
    CAppData& store = global ? static_cast<CAppData&>(CAppDataGlobal::instance())
                             : static_cast<CAppData&>(CAppDataLocal::instance());
    CByteBuffer block;
    if (!store.get(global ? storeName.substr(1) : storeName, CAudioPresetBank::kListType, block)) return;
    CMemoryReader reader(std::move(block));
    auto bank = std::make_unique<CAudioPresetBank>();
    bool found = false;
    if (CError* error = CAudioPresetBank::loadFirstOfList(reader, *bank, found)) {
        qelErrLog(QEL_PASS_CTX(error, fullName()));
        return;
    }
    if (found) m_enumBank = std::move(bank);
}

CError* CAudioParamRegistry::initComplete() {
    QEL_CHECK(CObject::initComplete());
    if (m_presetNameParam) m_nameListener.attach(m_collector, 0);
    if (m_collector) m_collector->addRegistry(this);
    return nullptr;
}

const CAudioParamDef* CAudioParamRegistry::findDefinition(const CString& fullName) {
    for (const auto& [from, to] : m_remaps) {
        if (!fullName.startsWith(from)) continue;
        const CString path = to + fullName.substr(from.length());
        // Definitions live in the shared tree; an instance may carry its own.
        CObject* found = findObject(path);
        if (!found && sharedObject()) found = sharedObject()->findObject(path);
        if (auto* def = dynamic_cast<const CAudioParamDef*>(found)) return def;
    }
    return nullptr;
}

void CAudioParamRegistry::claim(CAudioParam* param) {
    if (!param->info())
        if (const CAudioParamDef* def = findDefinition(param->name())) {
            const CString& registryName = def->info().registryName;
            auto* selected = registryName.isEmpty()
                                 ? nullptr
                                 : dynamic_cast<CAudioParamRegistry*>(findObject(registryName));
            param->attachInfo(def->info(), selected);
        }
    CCriticalSectionGuard guard(m_pendingLock);
    m_pending.emplace_back(param, param->name());
}

void CAudioParamRegistry::enterClaims() {
    std::vector<std::pair<CAudioParam*, CString>> claims;
    {
        CCriticalSectionGuard guard(m_pendingLock);
        claims.swap(m_pending);
    }
    for (const auto& [param, name] : claims)
        m_params[name.substr(m_hierarchy.length())] = param;
}

const std::map<CString, CAudioParam*>& CAudioParamRegistry::ownedParams() {
    CCriticalSectionGuard guard(m_paramLock);
    enterClaims();
    return m_params;
}

// Programs.

int32_t CAudioParamRegistry::programCount() const {
    CCriticalSectionGuard guard(m_bankLock);
    return m_isMaster ? std::max(m_sessionBank->presetCount(), 1) : 0;
}

int32_t CAudioParamRegistry::factoryPresetCount() const {
    CCriticalSectionGuard guard(m_bankLock);
    return m_factoryBank ? m_factoryBank->presetCount() : 0;
}

int32_t CAudioParamRegistry::currentProgram() const {
    CCriticalSectionGuard guard(m_bankLock);
    return m_currentProgram;
}

CString CAudioParamRegistry::programName(int32_t index) const {
    CCriticalSectionGuard guard(m_bankLock);
    const CAudioPreset* preset = m_sessionBank ? m_sessionBank->preset(index) : nullptr;
    return preset ? preset->name() : CString();
}

void CAudioParamRegistry::programNames(std::vector<CString>& names, int32_t& current, bool factory) const {
    CCriticalSectionGuard guard(m_bankLock);
    names.clear();
    const CAudioPresetBank* bank = factory ? m_factoryBank.get() : m_sessionBank.get();
    for (int32_t i = 0; bank && i < bank->presetCount(); ++i)
        names.push_back(bank->preset(i)->name());
    current = factory ? -1 : m_currentProgram;
}

void CAudioParamRegistry::renameProgram(int32_t index, const CString& name) {
    if (!m_isMaster) return;
    if (index == currentProgram()) {
        renameCurrentProgram(name);
        return;
    }
    {
        CCriticalSectionGuard guard(m_bankLock);
        CAudioPreset* preset = m_sessionBank->preset(index);
        if (!preset) return;
        preset->setName(m_id + ":" + name);
    }
    notifyProgramChange(nullptr);
}

void CAudioParamRegistry::notifyProgramChange(const void* originator) {
    SAudioProgramChange change;
    change.kind = SAudioProgramChange::kKind;
    change.program = currentProgram();
    change.originator = originator;
    notify(&change);
}

void CAudioParamRegistry::addUndo(std::unique_ptr<CAudioParamUndoRecord> record) {
    if (m_undo && record) m_undo->add(std::move(record));
}

CString CAudioParamRegistry::groupName(int32_t group) const {
    if (m_groupNamesParam) {
        const CString name = m_groupNamesParam->getText(group, 0);
        if (!name.isEmpty()) return name;
    }
    return CString::fromInt(group + 1);
}

} // namespace qel
