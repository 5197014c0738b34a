#include "Audio/Params/CAudioParam.h"

#include "Audio/Params/CAudioParamRegistry.h"

#include <algorithm>

#include "Audio/ParamFilters/CAudioParamFilter.h"
#include "Audio/Params/CAudioParamChangeList.h"
#include "Audio/Params/CAudioParamCollector.h"
#include "Audio/Params/CAudioParamInfo.h"

namespace qel {

namespace {

bool sameDescription(const CAudioParamInfo& a, const CAudioParamInfo& b) {
    return a.name == b.name && a.elementSize == b.elementSize && a.dataType == b.dataType &&
           a.isSingleGroup == b.isSingleGroup && a.isSingleElement == b.isSingleElement;
}

// Default group 0 is the common value; default group j >= 1 the values of group j.
void initFromDefaults(CAudioParamStorage& storage, const CAudioParamInfo& info) {
    storage.initShape(info);
    const CAudioParamStorage& defaults = info.defaults;
    storage.pool().copyFrom(defaults.pool());
    storage.setFallback(info.flatDefaults);
    for (int32_t group = 1; group < defaults.groupCount(); ++group) {
        const int32_t count = defaults.elementCount(group);
        if (count <= 0) continue;
        storage.setElementCount(group, count);
        const double* values = defaults.groupValues(group);
        for (int32_t e = 0; e < count; ++e)
            for (int32_t k = 0; k < info.elementSize; ++k)
                storage.setValue(group, e, k, values[e * info.elementSize + k]);
    }
}

} // namespace

CAudioParam::CAccess::CAccess(CAudioParam& param, const CAccess* outer) {
    if (outer) return;
    m_param = &param;
    param.m_collector.acquire(false);
    param.m_collector.enterParamLock();
}

CAudioParam::CAccess::~CAccess() {
    if (!m_param) return;
    m_param->m_collector.leaveParamLock();
    m_param->m_collector.release(false);
}

CAudioParam::CAudioParam(CAudioParamCollector& collector, const CString& name)
    : m_collector(collector), m_name(name) {}

CCriticalSection& CAudioParam::lock() const {
    return m_collector.paramLock();
}

void CAudioParam::attachInfo(const CAudioParamInfo& info, CAudioParamRegistry* selectedRegistry) {
    CAccess access(*this, nullptr);
    if (m_info && sameDescription(*m_info, info)) return;
    m_info = &info;
    m_selectedRegistry =
        info.elementSize == 1 && info.dataType == CAudioParamInfo::Float ? selectedRegistry : nullptr;
    initFromDefaults(m_values, info);
    initFromDefaults(m_resetValues, info);
    initFromDefaults(m_audioValues, info);
    // The first group every channel reads exists on the audio side from the start, holding the common
    // values it would fall back to: the first change written to it then allocates nothing there.
    if (info.dataType == CAudioParamInfo::Float && m_audioValues.groupCount() == 0) {
        const int32_t size = std::max(info.elementSize, 1);
        const int32_t count = int32_t(m_audioValues.fallback().size()) / size;
        m_audioValues.setElementCount(0, count);
        for (int32_t i = 0; i < count * size; ++i)
            m_audioValues.setValue(0, i / size, i % size, m_audioValues.fallback()[size_t(i)]);
        m_audioGroupMirrorsCommon = true;
    }
}

double CAudioParam::getValue(int32_t group, int32_t index, double fallback, const CAccess* outer) const {
    CAccess access(const_cast<CAudioParam&>(*this), outer);
    return m_values.getValue(group, index, fallback);
}

CString CAudioParam::getText(int32_t group, int32_t index, const CAccess* outer) const {
    CAccess access(const_cast<CAudioParam&>(*this), outer);
    if (!m_info || m_info->dataType != CAudioParamInfo::String) return CString();
    return m_values.pool().getString(CAudioParamData::indexOfValue(m_values.getValue(group, index, 0.0)));
}

int32_t CAudioParam::elementCount(int32_t group, const CAccess* outer) const {
    CAccess access(const_cast<CAudioParam&>(*this), outer);
    return m_values.elementCount(group);
}

void CAudioParam::writeValues(CAudioParamStorage& storage, const SAudioParamChange& change) {
    const int32_t size = std::max(storage.elementSize(), 1);
    const bool indexed = storage.dataType() != CAudioParamInfo::Float && change.pool;
    for (int32_t e = 0; e < change.elementCount; ++e)
        for (int32_t k = 0; k < size; ++k) {
            const int32_t element = change.firstElement + e;
            double value = change.values[e * size + k];
            if (indexed) {
                const int32_t index = element * size + k;
                const bool own = change.group == CAudioParamStorage::kCommonGroup
                                     ? size_t(index) < storage.fallback().size()
                                     : element < storage.elementCount(change.group);
                // Items are copied first: the change may carry this very storage's pool.
                value = double(storage.pool().copyItem(*change.pool, CAudioParamData::indexOfValue(value)));
                if (own)
                    storage.pool().release(
                        CAudioParamData::indexOfValue(storage.getValue(change.group, index, 0.0)));
            }
            storage.setValue(change.group, element, k, value);
        }
}

void CAudioParam::fillMissingElements(int32_t group, int32_t firstElement, const CAccess* outer) {
    const int32_t own = m_values.elementCount(group);
    if (group == CAudioParamStorage::kCommonGroup || firstElement <= own) return;
    const int32_t size = std::max(m_values.elementSize(), 1);
    std::vector<double> common(size_t(firstElement - own) * size_t(size));
    for (size_t i = 0; i < common.size(); ++i)
        common[i] = m_values.getValue(CAudioParamStorage::kCommonGroup, int32_t(size_t(own * size) + i), 0.0);
    SAudioParamChange fill;
    fill.group = group;
    fill.firstElement = own;
    fill.elementCount = firstElement - own;
    fill.values = common.data();
    fill.pool = &m_values.pool();
    applyChange(fill, outer);
}

void CAudioParam::applyChange(const SAudioParamChange& change, const CAccess* outer,
                              CAudioParamChangeList* collected, CAudioParamChangeRecord* record) {
    if (change.elementCount <= 0 || !change.values) return;
    CAccess access(*this, outer);
    const CAccess* context = outer ? outer : &access;
    fillMissingElements(change.group, change.firstElement, context);

    const bool undoable = record && m_info && (m_info->isStorable || m_info->isPersistent);
    if (undoable) record->recordBefore(*this, change);
    writeValues(m_values, change);
    if (undoable) record->recordAfter(*this, change);

    if (collected)
        collected->add(*this, change, m_collector.mergesChanges());
    else
        m_collector.queueAudioChange(*this, change);

    if (m_selectedRegistry) m_selectedRegistry->onSelectorChange(change);

    SAudioParamUpdate update;
    update.kind = SAudioParamUpdate::kKind;
    update.param = this;
    update.change = &change;
    update.record = record;
    m_collector.notify(&update);

    // A filter may detach itself while being fed.
    const std::vector<CAudioParamFilter*> filters = m_filters;
    for (CAudioParamFilter* filter : filters)
        filter->onSourceChange(*this, change, context);
}

void CAudioParam::setValue(int32_t group, int32_t element, int32_t position, double value, const void* cause,
                           const CAccess* outer) {
    CAccess access(*this, outer);
    const int32_t size = std::max(m_values.elementSize(), 1);
    if (position < 0 || position >= size || element < 0) return;
    std::vector<double> values(static_cast<size_t>(size));
    for (int32_t k = 0; k < size; ++k)
        values[size_t(k)] = m_values.getValue(group, element * size + k, 0.0);
    values[size_t(position)] = value;
    SAudioParamChange change;
    change.group = group;
    change.firstElement = element;
    change.values = values.data();
    change.cause = cause;
    applyChange(change, outer ? outer : &access);
}

void CAudioParam::reset(int32_t group, int32_t firstElement, int32_t elementCount, const void* cause,
                        const CAccess* outer, CAudioParamChangeRecord* record) {
    CAccess access(*this, outer);
    const CAccess* context = outer ? outer : &access;
    const int32_t size = std::max(m_values.elementSize(), 1);
    auto resetGroup = [&](int32_t g, int32_t first, int32_t count) {
        if (count < 0) count = std::max(m_resetValues.elementCount(g), m_values.elementCount(g)) - first;
        if (g == CAudioParamStorage::kCommonGroup)
            count = int32_t(m_resetValues.fallback().size()) / size - first;
        if (count <= 0) return;
        std::vector<double> values(size_t(count) * size_t(size));
        for (size_t i = 0; i < values.size(); ++i)
            values[i] = m_resetValues.getValue(g, int32_t(size_t(first * size) + i), 0.0);
        SAudioParamChange change;
        change.group = g;
        change.firstElement = first;
        change.elementCount = count;
        change.values = values.data();
        change.pool = &m_resetValues.pool();
        change.cause = cause;
        applyChange(change, context, nullptr, record);
    };
    if (group >= 0) {
        resetGroup(group, firstElement, elementCount);
        return;
    }
    resetGroup(CAudioParamStorage::kCommonGroup, 0, -1);
    for (int32_t g = 0; g < m_values.groupCount(); ++g)
        resetGroup(g, 0, -1);
}

void CAudioParam::addFilter(CAudioParamFilter* filter) {
    CCriticalSectionGuard guard(lock());
    if (std::find(m_filters.begin(), m_filters.end(), filter) == m_filters.end()) m_filters.push_back(filter);
}

void CAudioParam::removeFilter(CAudioParamFilter* filter) {
    CCriticalSectionGuard guard(lock());
    m_filters.erase(std::remove(m_filters.begin(), m_filters.end(), filter), m_filters.end());
}

void CAudioParam::subscribe(const SAudioParamSubscription& subscription) {
    m_subscriptions.push_back(subscription);
}

void CAudioParam::unsubscribe(bool* changed) {
    m_subscriptions.erase(
        std::remove_if(m_subscriptions.begin(), m_subscriptions.end(),
                       [&](const SAudioParamSubscription& s) { return s.changed == changed; }),
        m_subscriptions.end());
}

void CAudioParam::applyAudioChange(int32_t group, int32_t firstElement, int32_t elementCount,
                                   const double* values, const CAudioParamData* pool) {
    SAudioParamChange change;
    change.group = group;
    change.firstElement = firstElement;
    change.elementCount = elementCount;
    change.values = values;
    change.pool = pool;
    writeValues(m_audioValues, change);
    if (m_audioGroupMirrorsCommon) {
        // Until group 0 is written itself it stands for the common values, as on the live side.
        if (group == CAudioParamStorage::kCommonGroup) {
            change.group = 0;
            writeValues(m_audioValues, change);
            change.group = group;
        } else if (group == 0) {
            m_audioGroupMirrorsCommon = false;
        }
    }

    const bool common = group == CAudioParamStorage::kCommonGroup;
    // Group 0 of a single-group parameter is the value of every group.
    const bool everyGroup = common || (group == 0 && m_info && m_info->isSingleGroup);
    for (const SAudioParamSubscription& s : m_subscriptions) {
        const bool groupMatches = s.groupFilter == -1 || s.groupFilter == group || everyGroup;
        const bool elementMatches = s.elementFilter == -1 || (s.elementFilter >= firstElement &&
                                                              s.elementFilter < firstElement + elementCount);
        if (!groupMatches || !elementMatches) continue;
        if (s.changed) *s.changed = true;
        if (s.groupMask) *s.groupMask |= common ? ~0u : 1u << (uint32_t(group) % 32);
    }
}

} // namespace qel
