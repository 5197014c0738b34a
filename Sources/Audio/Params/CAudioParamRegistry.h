#pragma once

#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "Audio/Params/CAudioParamUndo.h"
#include "Audio/Params/CAudioPresetBank.h"
#include "Core/CObject.h"
#include "Core/CUpdateListener.h"
#include "Core/CUpdateNotifier.h"
#include "Core/Platform/CCriticalSection.h"

namespace qel {

class CAudioParam;
class CAudioParamCollector;
class CAudioParamDef;
class CAudioRoutingInfoProvider;
struct SAudioParamChange;

// Told to the registry's listeners when the session bank or the current program changed.
struct SAudioProgramChange : SUpdateRecord {
    static constexpr uint64_t kKind = 0x70726763; // "prgc"

    int32_t program = 0;
    // Who asked for the change, so that it can ignore its own request.
    const void* originator = nullptr;
};

class CAudioParamStorage;

// "audio:param-registry": owns the parameters below one point of the name space (its hierarchy),
// resolves their definitions and turns their values into presets and back. The master registry keeps
// the factory bank and the session bank whose presets are the host's programs.
class CAudioParamRegistry : public CObject, public CUpdateNotifier {
public:
    CAudioParamRegistry();
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
    bool hasUserDefault() const { return m_hasUserDefault; }
    const CString& id() const { return m_id; }
    const CString& presetNaming() const { return m_presetNaming; }
    CAudioParamCollector* collector() const { return m_collector; }
    CAudioParamUndo* undo() const { return m_undo; }
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

    // Presets and banks. index -1 is the current program; group -1 means every group.
    CError* acquirePreset(bool factory, int32_t index, int32_t group, COutputStream& stream);
    CError* acquireBank(bool factory, COutputStream& stream);
    CError* activatePreset(CInputStream& stream, bool includePersistent, int32_t group);
    CError* activateBank(CInputStream& stream, bool includePersistent);
    CError* activateFactoryPreset(int32_t index);
    // The user's default ("default-preset" in the local store) or, without one, factory preset 0.
    CError* activateDefaultPreset();
    // Stores a preset block as the user's default, used by the next instance; the block must parse
    // and belong to this registry.
    CError* setDefaultPreset(CInputStream& stream);
    void masterReset();
    // Applies a preset's values over the current ones; a block that does not parse is ignored.
    void mergePreset(CInputStream& stream);
    // Makes the current program's values current, without an undo record (start of an instance).
    void applyCurrentProgram();

    // Programs (master): the session bank's presets.
    int32_t programCount() const;
    int32_t currentProgram() const;
    CString programName(int32_t index) const;
    // Names of all programs, or of the factory presets with index -1.
    void programNames(std::vector<CString>& names, int32_t& current, bool factory) const;
    void selectProgram(int32_t index, const void* originator);
    void renameProgram(int32_t index, const CString& name);
    void renameCurrentProgram(const CString& name);
    int32_t factoryPresetCount() const;

    // A/B comparison (master).
    void updateShadow();
    void exchangeShadow();

    // Run by a parameter whose definition names this registry, after each change of its values.
    void onSelectorChange(const SAudioParamChange& change);

    void setRoutingInfoProvider(CAudioRoutingInfoProvider* provider) { m_routingInfo = provider; }
    CAudioRoutingInfoProvider* routingInfoProvider() const { return m_routingInfo; }
    CCriticalSection& bankLock() { return m_bankLock; }

    static void initClass(CClassRecord& record);

private:
    class CNameListener : public CUpdateListener {
    public:
        explicit CNameListener(CAudioParamRegistry& owner) : m_owner(owner) {}
        ~CNameListener() override { detach(); }

    protected:
        void onUpdate(const SUpdateRecord* record, const SUpdateEntry& entry) override;

    private:
        CAudioParamRegistry& m_owner;
    };

    CError* parseRemaps(const CString& text);
    void setUpBanks();
    void enterClaims();
    bool isIncluded(const CAudioParam& param, bool includePersistent) const;
    bool isCompatible(const CAudioPreset& preset) const;
    void capture(CAudioPreset& preset, int32_t group);
    CError* applyPreset(const CAudioPreset& preset, bool complete, bool includePersistent, int32_t group,
                        int32_t element, CAudioParamChangeRecord* record);
    static CError* loadEntry(const CAudioParam& param, const CByteBuffer& bytes, CAudioParamStorage& loaded);
    void applyEntry(CAudioParam& param, const CAudioParamStorage& loaded, int32_t group, int32_t element,
                    CAudioParamChangeRecord* record);
    void showPresetName(const CString& presetName, int32_t group, CAudioParamChangeRecord* record);
    void notifyProgramChange(const void* originator);
    void addUndo(std::unique_ptr<CAudioParamUndoRecord> record);
    CString groupName(int32_t group) const;
    CError* presetIndexError(int32_t index) const;

    CString m_hierarchy;
    std::vector<std::pair<CString, CString>> m_remaps;
    bool m_isEnumerated = false;
    bool m_isElementEnum = false;
    bool m_isMaster = false;
    bool m_isGlobalParamStorable = false;
    bool m_hasUserDefault = false;
    CString m_id;
    CAudioParamCollector* m_collector = nullptr;
    CString m_presetNaming;
    CAudioParamUndo* m_undo = nullptr;
    std::unique_ptr<CAudioPresetBank> m_factoryBank;
    mutable CCriticalSection m_bankLock{4000};
    std::unique_ptr<CAudioPresetBank> m_sessionBank;
    int32_t m_currentProgram = 0;
    CAudioParam* m_presetNameParam = nullptr;
    CAudioParam* m_groupNamesParam = nullptr;
    CNameListener m_nameListener;
    CCriticalSection m_paramLock{4000};
    std::map<CString, CAudioParam*> m_params;
    std::vector<std::unique_ptr<CAudioParamUndo::SHistory>> m_programSlots;
    CCriticalSection m_pendingLock{4000};
    std::vector<std::pair<CAudioParam*, CString>> m_pending;
    std::unique_ptr<CAudioPresetBank> m_enumBank;
    std::unique_ptr<CAudioPreset> m_shadowPreset;
    CAudioParamUndo::SHistory m_shadowUndo;
    CAudioRoutingInfoProvider* m_routingInfo = nullptr;
};

} // namespace qel
