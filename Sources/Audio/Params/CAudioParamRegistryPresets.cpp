// The preset side of the parameter registry: capturing values into presets, applying presets and
// banks, programs, A/B comparison and the selector of enumerated registries.

#include <cmath>
#include <set>

#include "Audio/Params/CAudioParam.h"
#include "Audio/Params/CAudioParamCollector.h"
#include "Audio/Params/CAudioParamInfo.h"
#include "Audio/Params/CAudioParamRegistry.h"
#include "Core/CMemoryReader.h"
#include "Core/CWriteSeqBuffer.h"
#include "UI/CAppDataLocal.h"

namespace qel {

namespace {

int32_t roundIndex(double value) {
    return int32_t(value < 0 ? -std::floor(-value + 0.5) : std::floor(value + 0.5));
}

} // namespace

bool CAudioParamRegistry::isIncluded(const CAudioParam& param, bool includePersistent) const {
    const CAudioParamInfo* info = param.info();
    if (!info) return false;
    return info->isStorable || (includePersistent && info->isPersistent) ||
           (m_isGlobalParamStorable && info->isGlobal);
}

bool CAudioParamRegistry::isCompatible(const CAudioPreset& preset) const {
    return preset.idPart() == m_id;
}

void CAudioParamRegistry::capture(CAudioPreset& preset, int32_t group) {
    preset.clearEntries();
    if (m_isMaster) {
        if (const CAudioPreset* current = m_sessionBank->preset(m_currentProgram))
            preset.setName(current->name());
    } else {
        preset.setName(m_id + ":" +
                       (m_presetNameParam ? m_presetNameParam->getText(std::max(group, 0), 0) : CString()));
    }
    CCriticalSectionGuard guard(m_paramLock);
    enterClaims();
    for (const auto& [key, param] : m_params) {
        CAudioParam::CAccess access(*param, nullptr);
        if (!isIncluded(*param, true)) continue;
        if (group >= 0 && param->values().elementCount(group) == 0) continue;
        CWriteSeqBuffer bytes;
        if (CError* error = param->values().save(bytes, group)) {
            qelErrLog(QEL_PASS_CTX(error, fullName()));
            continue;
        }
        preset.setEntry(key, bytes.join());
    }
}

CError* CAudioParamRegistry::loadEntry(const CAudioParam& param, const CByteBuffer& bytes,
                                       CAudioParamStorage& loaded) {
    const CAudioParamInfo& info = *param.info();
    loaded.setShape(info.elementSize, info.dataType, info.isSingleGroup, info.isSingleElement);
    CMemoryReaderStatic reader(bytes.data(), int32_t(bytes.size()));
    QEL_CHECK(loaded.load(reader));
    loaded.clamp(info);
    return nullptr;
}

void CAudioParamRegistry::applyEntry(CAudioParam& param, const CAudioParamStorage& loaded, int32_t group,
                                     int32_t element, CAudioParamChangeRecord* record) {
    CAudioParam::CAccess access(param, nullptr);
    const CAudioParamInfo& info = *param.info();

    auto write = [&](int32_t target, const double* values, int32_t first, int32_t count,
                     const CAudioParamData* pool) {
        if (count <= 0 || !values) return;
        SAudioParamChange change;
        change.group = target;
        change.firstElement = first;
        change.elementCount = count;
        change.values = values + size_t(first) * size_t(info.elementSize);
        change.pool = pool;
        change.cause = this;
        param.applyChange(change, &access, nullptr, record);
    };
    if (group < 0) {
        for (int32_t g = 0; g < loaded.groupCount(); ++g)
            write(g, loaded.groupValues(g), 0, loaded.elementCount(g), &loaded.pool());
        // Groups the preset leaves out read the common value again.
        const CAudioParamStorage& live = param.values();
        const std::vector<double> common = live.fallback();
        const int32_t commonElements = int32_t(common.size()) / std::max(info.elementSize, 1);
        for (int32_t g = loaded.groupCount(); g < live.groupCount(); ++g)
            if (live.elementCount(g) > 0) write(g, common.data(), 0, commonElements, &live.pool());
        return;
    }
    // One group: a block of one group serves any group.
    const int32_t source = loaded.groupCount() == 1 ? 0 : group;
    if (source >= loaded.groupCount()) return;
    const double* values = loaded.groupValues(source);
    const int32_t count = loaded.elementCount(source);
    if (element >= 0) {
        if (element < count) write(group, values, element, 1, &loaded.pool());
        return;
    }
    write(group, values, 0, count, &loaded.pool());
}

CError* CAudioParamRegistry::applyPreset(const CAudioPreset& preset, bool complete, bool includePersistent,
                                         int32_t group, int32_t element, CAudioParamChangeRecord* record) {
    m_collector->acquire(true);
    CError* failure = nullptr;
    {
        CCriticalSectionGuard guard(m_paramLock);
        enterClaims();
        // Every entry is read before any is applied, so a broken preset changes nothing.
        std::vector<std::pair<CAudioParam*, std::unique_ptr<CAudioParamStorage>>> loaded;
        for (const auto& [key, bytes] : preset.entries()) {
            auto found = m_params.find(key);
            if (found == m_params.end()) {
                m_collector->getParam(m_hierarchy + key);
                enterClaims();
                found = m_params.find(key);
            }
            if (found == m_params.end() || !isIncluded(*found->second, includePersistent)) continue;
            auto values = std::make_unique<CAudioParamStorage>();
            if (CError* error = loadEntry(*found->second, bytes, *values)) {
                failure = QEL_PASS_CTX(error, fullName() + ": " + key);
                break;
            }
            loaded.emplace_back(found->second, std::move(values));
        }
        std::set<const CAudioParam*> set;
        if (!failure)
            for (const auto& [param, values] : loaded) {
                applyEntry(*param, *values, group, element, record);
                set.insert(param);
            }
        if (complete && !failure)
            for (const auto& [key, param] : m_params)
                if (!set.count(param) && isIncluded(*param, includePersistent))
                    param->reset(group, element >= 0 ? element : 0, element >= 0 ? 1 : -1, this, nullptr,
                                 record);
    }
    m_collector->release(true);
    return failure;
}

void CAudioParamRegistry::showPresetName(const CString& presetName, int32_t group,
                                         CAudioParamChangeRecord* record) {
    if (!m_presetNameParam) return;
    const size_t colon = presetName.find(':');
    CAudioParamData pool;
    const double value = pool.addString(colon == CString::npos ? presetName : presetName.substr(colon + 1));
    SAudioParamChange change;
    change.group = std::max(group, 0);
    change.values = &value;
    change.pool = &pool;
    change.cause = this;
    m_presetNameParam->applyChange(change, nullptr, nullptr, record);
}

// Host state and presets.

CError* CAudioParamRegistry::presetIndexError(int32_t index) const {
    return QEL_ERROR(
        fullName(),
        "@qelstr_CAudioParamRegistry_acquirePreset_PresetIndexError Invalid preset index %1 specified.",
        index);
}

CError* CAudioParamRegistry::acquirePreset(bool factory, int32_t index, int32_t group,
                                           COutputStream& stream) {
    if (m_isMaster) {
        CCriticalSectionGuard guard(m_bankLock);
        if (!factory && index == -1) index = m_currentProgram;
        CAudioPreset* preset = (factory ? m_factoryBank : m_sessionBank)->preset(index);
        if (!preset) return presetIndexError(index);
        if (!factory && index == m_currentProgram) capture(*preset, -1);
        if (CError* error = preset->save(stream)) return QEL_PASS_CTX(error, fullName());
        return nullptr;
    }
    CAudioPreset preset;
    capture(preset, group);
    if (CError* error = preset.save(stream)) return QEL_PASS_CTX(error, fullName());
    return nullptr;
}

CError* CAudioParamRegistry::acquireBank(bool factory, COutputStream& stream) {
    if (!m_isMaster)
        return QEL_ERROR(fullName(),
                         "@qelstr_CAudioParamRegistry_acquireBank_NonMasterRegistry Acquiring bank in "
                         "a non-master registry is an error.");
    CCriticalSectionGuard guard(m_bankLock);
    if (!factory) {
        CAudioPreset& current = *m_sessionBank->preset(m_currentProgram);
        capture(current, -1);
        // Persistent values are the instance's, not a program's: every program carries the same.
        CCriticalSectionGuard params(m_paramLock);
        for (const auto& [key, param] : m_params) {
            const CAudioParamInfo* info = param->info();
            if (!info || !info->isPersistent || !isIncluded(*param, true)) continue;
            const auto entry = current.entries().find(key);
            if (entry == current.entries().end()) continue;
            for (int32_t p = 0; p < m_sessionBank->presetCount(); ++p)
                if (p != m_currentProgram) m_sessionBank->preset(p)->setEntry(key, entry->second);
        }
    }
    if (CError* error = (factory ? m_factoryBank : m_sessionBank)->save(stream))
        return QEL_PASS_CTX(error, fullName());
    return nullptr;
}

CError* CAudioParamRegistry::activatePreset(CInputStream& stream, bool includePersistent, int32_t group) {
    CAudioPreset preset;
    if (CError* error = preset.load(stream)) return QEL_PASS_CTX(error, fullName());
    if (!isCompatible(preset))
        return QEL_ERROR(
            fullName(), "@qelstr_CAudioParamRegistry_activatePreset_IncompatiblePreset Incompatible preset.");
    std::unique_ptr<CAudioParamUndoRecord> record;
    if (m_undo)
        record = std::make_unique<CAudioParamUndoRecord>(group < 0 ? m_presetNaming + " activate"
                                                                   : m_presetNaming + " activate (" +
                                                                         groupName(group) + ")");
    {
        CCriticalSectionGuard guard(m_bankLock);
        QEL_CHECK(applyPreset(preset, true, includePersistent, group, -1, record.get()));
        if (m_isMaster) m_sessionBank->preset(m_currentProgram)->setName(preset.name());
        showPresetName(preset.name(), group, record.get());
    }
    if (m_isMaster) notifyProgramChange(nullptr);
    addUndo(std::move(record));
    return nullptr;
}

CError* CAudioParamRegistry::activateDefaultPreset() {
    CByteBuffer block;
    if (!CAppDataLocal::instance().get("default-preset", CAudioPreset::kResourceType, block))
        return activateFactoryPreset(0);
    CMemoryReader reader(std::move(block));
    return activatePreset(reader, false, -1);
}

CError* CAudioParamRegistry::setDefaultPreset(CInputStream& stream) {
    CAudioPreset preset;
    if (CError* error = preset.load(stream)) return QEL_PASS_CTX(error, fullName());
    if (!isCompatible(preset))
        return QEL_ERROR(
            fullName(), "@qelstr_CAudioParamRegistry_activatePreset_IncompatiblePreset Incompatible preset.");
    CWriteSeqBuffer block(4096);
    QEL_CHECK(preset.save(block));
    CAppDataLocal::instance().set("default-preset", block.join(), this, CAudioPreset::kResourceType);
    return nullptr;
}

CError* CAudioParamRegistry::activateBank(CInputStream& stream, bool includePersistent) {
    if (!m_isMaster)
        return QEL_ERROR(fullName(),
                         "@qelstr_CAudioParamRegistry_acquireBank_NonMasterRegistry Acquiring bank in "
                         "a non-master registry is an error.");
    CAudioPresetBank bank;
    if (CError* error = bank.load(stream)) return QEL_PASS_CTX(error, fullName());
    {
        CCriticalSectionGuard guard(m_bankLock);
        const int32_t count = std::min(bank.presetCount(), m_sessionBank->presetCount());
        for (int32_t i = 0; i < count; ++i)
            if (!isCompatible(*bank.preset(i)))
                return QEL_ERROR(
                    fullName(),
                    "@qelstr_CAudioParamRegistry_activateBank_IncompatibleBank Incompatible bank.");
        for (int32_t i = 0; i < count; ++i) {
            m_sessionBank->preset(i)->copyFrom(*bank.preset(i));
            m_programSlots[size_t(i)].reset();
        }
        if (bank.presetCount() > m_currentProgram) {
            if (m_undo) m_undo->clear();
            const CAudioPreset& current = *m_sessionBank->preset(m_currentProgram);
            QEL_CHECK(applyPreset(current, true, includePersistent, -1, -1, nullptr));
            showPresetName(current.name(), -1, nullptr);
        }
    }
    notifyProgramChange(nullptr);
    return nullptr;
}

void CAudioParamRegistry::applyCurrentProgram() {
    if (!m_isMaster) return;
    CCriticalSectionGuard guard(m_bankLock);
    const CAudioPreset& current = *m_sessionBank->preset(m_currentProgram);
    qelErrLog(applyPreset(current, true, false, -1, -1, nullptr));
    showPresetName(current.name(), -1, nullptr);
}

CError* CAudioParamRegistry::activateFactoryPreset(int32_t index) {
    if (!m_isMaster) return nullptr;
    auto record = m_undo ? std::make_unique<CAudioParamUndoRecord>("ROM preset activate") : nullptr;
    {
        CCriticalSectionGuard guard(m_bankLock);
        const CAudioPreset* preset = m_factoryBank->preset(index);
        if (!preset) return presetIndexError(index);
        QEL_CHECK(applyPreset(*preset, true, false, -1, -1, record.get()));
        m_sessionBank->preset(m_currentProgram)->setName(preset->name());
        showPresetName(preset->name(), -1, record.get());
    }
    notifyProgramChange(nullptr);
    addUndo(std::move(record));
    return nullptr;
}

void CAudioParamRegistry::masterReset() {
    if (!m_isMaster) return;
    auto record = m_undo ? std::make_unique<CAudioParamUndoRecord>("Master reset") : nullptr;
    m_collector->acquire(true);
    {
        CCriticalSectionGuard guard(m_paramLock);
        enterClaims();
        for (const auto& [key, param] : m_params)
            if (param->info() && param->info()->isStorable)
                param->reset(-1, 0, -1, this, nullptr, record.get());
        if (m_presetNameParam) m_presetNameParam->reset(-1, 0, -1, this, nullptr, record.get());
    }
    m_collector->release(true);
    addUndo(std::move(record));
}

void CAudioParamRegistry::mergePreset(CInputStream& stream) {
    CAudioPreset preset;
    if (CError* error = preset.load(stream)) {
        qelErrRelease(error);
        return;
    }
    CCriticalSectionGuard guard(m_bankLock);
    qelErrLog(applyPreset(preset, false, false, -1, -1, nullptr));
}

// Programs.

void CAudioParamRegistry::selectProgram(int32_t index, const void* originator) {
    {
        CCriticalSectionGuard guard(m_bankLock);
        if (!m_isMaster || index == m_currentProgram || !m_sessionBank->preset(index)) return;
        capture(*m_sessionBank->preset(m_currentProgram), -1);
        if (m_undo) {
            auto saved = std::make_unique<CAudioParamUndo::SHistory>(m_undo->history());
            std::unique_ptr<CAudioParamUndo::SHistory>& next = m_programSlots[size_t(index)];
            m_undo->setHistory(next ? std::move(*next) : CAudioParamUndo::SHistory());
            m_programSlots[size_t(m_currentProgram)] = std::move(saved);
            next.reset();
        }
        m_currentProgram = index;
        const CAudioPreset& preset = *m_sessionBank->preset(index);
        qelErrLog(applyPreset(preset, true, false, -1, -1, nullptr));
        showPresetName(preset.name(), -1, nullptr);
    }
    notifyProgramChange(originator);
}

void CAudioParamRegistry::renameCurrentProgram(const CString& name) {
    if (!m_isMaster) return;
    auto record = m_undo ? std::make_unique<CAudioParamUndoRecord>("Program name change") : nullptr;
    {
        CCriticalSectionGuard guard(m_bankLock);
        CAudioPreset& current = *m_sessionBank->preset(m_currentProgram);
        current.setName(m_id + ":" + name);
        showPresetName(current.name(), -1, record.get());
    }
    notifyProgramChange(nullptr);
    addUndo(std::move(record));
}

void CAudioParamRegistry::CNameListener::onUpdate(const SUpdateRecord* record, const SUpdateEntry&) {
    if (!record || record->kind != SAudioParamUpdate::kKind) return;
    const auto* update = static_cast<const SAudioParamUpdate*>(record);
    if (update->param != m_owner.m_presetNameParam || !update->change || update->change->cause == &m_owner)
        return;
    if (!m_owner.m_isMaster) return;
    CCriticalSectionGuard guard(m_owner.m_bankLock);
    const CString text = update->param->getText(std::max(update->change->group, 0), 0);
    m_owner.m_sessionBank->preset(m_owner.m_currentProgram)->setName(m_owner.m_id + ":" + text);
}

// A/B comparison.

void CAudioParamRegistry::updateShadow() {
    if (!m_isMaster) return;
    CCriticalSectionGuard guard(m_bankLock);
    if (!m_shadowPreset) m_shadowPreset = std::make_unique<CAudioPreset>();
    capture(*m_shadowPreset, -1);
    if (m_undo) m_shadowUndo = m_undo->history();
}

void CAudioParamRegistry::exchangeShadow() {
    if (!m_isMaster) return;
    CCriticalSectionGuard guard(m_bankLock);
    if (!m_shadowPreset) updateShadow();
    auto current = std::make_unique<CAudioPreset>();
    capture(*current, -1);
    qelErrLog(applyPreset(*m_shadowPreset, true, false, -1, -1, nullptr));
    if (m_undo) m_undo->swapHistory(m_shadowUndo);
    m_shadowPreset = std::move(current);
}

// Enumerated presets.

void CAudioParamRegistry::onSelectorChange(const SAudioParamChange& change) {
    if (!m_enumBank || !change.values) return;
    const int32_t group = change.group == CAudioParamStorage::kCommonGroup ? -1 : change.group;
    auto choose = [&](int32_t element, double value) {
        const int32_t index = roundIndex(value);
        if (const CAudioPreset* preset = m_enumBank->preset(index)) {
            qelErrLog(applyPreset(*preset, true, false, group, element, nullptr));
            return;
        }
        m_collector->acquire(true);
        {
            CCriticalSectionGuard guard(m_paramLock);
            enterClaims();
            for (const auto& [key, param] : m_params)
                param->reset(group, element >= 0 ? element : 0, element >= 0 ? 1 : -1, this);
        }
        m_collector->release(true);
    };
    if (!m_isElementEnum) {
        if (change.firstElement == 0) choose(-1, change.values[0]);
        return;
    }
    for (int32_t e = 0; e < change.elementCount; ++e)
        choose(change.firstElement + e, change.values[e]);
}

} // namespace qel
