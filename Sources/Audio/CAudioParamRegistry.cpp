#include "Audio/CAudioParamRegistry.h"

#include "Audio/CAudioParam.h"
#include "Audio/CAudioParamCollector.h"
#include "Audio/CAudioParamDef.h"

namespace qel {

void CAudioParamRegistry::initClass(CClassRecord& record) {
    CClassRecord::initObject(record);
}

CAudioParamRegistry::~CAudioParamRegistry() {
    if (m_collector) m_collector->removeRegistry(this);
}

void CAudioParamRegistry::detachFromParent() {
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
    m_presetNaming = getAttr("preset-naming");
    const CString presetNameParam = getAttr("preset-name-param");
    m_presetNameParam = presetNameParam.isEmpty() ? nullptr : m_collector->getParam(presetNameParam);
    const CString groupNamesParam = getAttr("group-names-param");
    m_groupNamesParam = groupNamesParam.isEmpty() ? nullptr : m_collector->getParam(groupNamesParam);
    m_programNames.assign(1, m_id + ":Default");
    return nullptr;
}

CError* CAudioParamRegistry::initComplete() {
    QEL_CHECK(CObject::initComplete());
    if (m_collector) m_collector->addRegistry(this);
    return nullptr;
}

int32_t CAudioParamRegistry::programCount() const {
    CCriticalSectionGuard guard(m_programLock);
    return int32_t(m_programNames.size());
}

CString CAudioParamRegistry::programName(int32_t index) const {
    CCriticalSectionGuard guard(m_programLock);
    return index >= 0 && size_t(index) < m_programNames.size() ? m_programNames[size_t(index)] : CString();
}

int32_t CAudioParamRegistry::currentProgram() const {
    CCriticalSectionGuard guard(m_programLock);
    return m_currentProgram;
}

void CAudioParamRegistry::selectProgram(int32_t index, const void* originator) {
    {
        CCriticalSectionGuard guard(m_programLock);
        if (index < 0 || size_t(index) >= m_programNames.size()) return;
        m_currentProgram = index;
    }
    SAudioProgramChange change;
    change.kind = SAudioProgramChange::kKind;
    change.program = index;
    change.originator = originator;
    notify(&change);
}

void CAudioParamRegistry::renameProgram(int32_t index, const CString& name) {
    CCriticalSectionGuard guard(m_programLock);
    if (index >= 0 && size_t(index) < m_programNames.size()) m_programNames[size_t(index)] = name;
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

} // namespace qel
