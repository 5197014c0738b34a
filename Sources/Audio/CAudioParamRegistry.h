#pragma once

#include <map>
#include <utility>
#include <vector>

#include "Core/CObject.h"
#include "Core/CUpdateNotifier.h"
#include "Core/Platform/CCriticalSection.h"

namespace qel {

class CAudioParam;
class CAudioParamCollector;
class CAudioParamDef;
class CAudioRoutingInfoProvider;

// Told to the registry's listeners when another program became current.
struct SAudioProgramChange : SUpdateRecord {
    static constexpr uint64_t kKind = 0x70726763; // "prgc"

    int32_t program = 0;
    // Who asked for the change, so that it can ignore its own request.
    const void* originator = nullptr;
};

// "audio:param-registry": owns the parameters below one point of the name space (its hierarchy) and
// resolves their definitions.
class CAudioParamRegistry : public CObject, public CUpdateNotifier {
public:
    ~CAudioParamRegistry() override;

    CError* init() override;
    CError* initComplete() override;
    void detachFromParent() override;

    const CString& hierarchy() const { return m_hierarchy; }
    const std::vector<std::pair<CString, CString>>& remaps() const { return m_remaps; }
    bool isEnumerated() const { return m_isEnumerated; }
    bool isElementEnum() const { return m_isElementEnum; }
    bool isMaster() const { return m_isMaster; }
    bool isGlobalParamStorable() const { return m_isGlobalParamStorable; }
    const CString& id() const { return m_id; }
    const CString& presetNaming() const { return m_presetNaming; }
    CAudioParamCollector* collector() const { return m_collector; }
    CAudioParam* presetNameParam() const { return m_presetNameParam; }
    CAudioParam* groupNamesParam() const { return m_groupNamesParam; }

    // Called by the collector for every parameter below the hierarchy: resolves its definition now
    // and enters it in the owned parameters at the next registry operation.
    void claim(CAudioParam* param);
    // The owned parameters by name relative to the hierarchy, claims entered first.
    const std::map<CString, CAudioParam*>& ownedParams();
    // The definition a run-time name maps to through the remaps; null when none.
    const CAudioParamDef* findDefinition(const CString& fullName);
    void onCollectorGone() { m_collector = nullptr; }

    // Programs: names are the category, ":" and the program's own name.
    int32_t programCount() const;
    CString programName(int32_t index) const;
    int32_t currentProgram() const;
    void selectProgram(int32_t index, const void* originator);
    void renameProgram(int32_t index, const CString& name);
    // The category of this registry's program names.
    const CString& category() const { return m_id; }
    CCriticalSection& lock() { return m_programLock; }

    void setRoutingInfoProvider(CAudioRoutingInfoProvider* provider) { m_routingInfo = provider; }
    CAudioRoutingInfoProvider* routingInfoProvider() const { return m_routingInfo; }

    static void initClass(CClassRecord& record);

private:
    CError* parseRemaps(const CString& text);
    void enterClaims();

    CString m_hierarchy;
    std::vector<std::pair<CString, CString>> m_remaps;
    bool m_isEnumerated = false;
    bool m_isElementEnum = false;
    bool m_isMaster = false;
    bool m_isGlobalParamStorable = false;
    CString m_id;
    CAudioParamCollector* m_collector = nullptr;
    CString m_presetNaming;
    CAudioParam* m_presetNameParam = nullptr;
    CAudioParam* m_groupNamesParam = nullptr;

    CCriticalSection m_paramLock{4000};
    std::map<CString, CAudioParam*> m_params;
    CAudioRoutingInfoProvider* m_routingInfo = nullptr;
    mutable CCriticalSection m_programLock{4000};
    std::vector<CString> m_programNames;
    int32_t m_currentProgram = 0;

    CCriticalSection m_pendingLock{4000};
    std::vector<std::pair<CAudioParam*, CString>> m_pending;
};

} // namespace qel
