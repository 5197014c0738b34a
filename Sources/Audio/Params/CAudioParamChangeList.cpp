#include "Audio/Params/CAudioParamChangeList.h"

#include <algorithm>

#include "Audio/Params/CAudioParam.h"
#include "Audio/Params/CAudioParamInfo.h"

namespace qel {

namespace {

int32_t elementSizeOf(const CAudioParam& param) {
    return param.info() ? param.info()->elementSize : std::max(param.values().elementSize(), 1);
}

bool isFloat(const CAudioParam& param) {
    return !param.info() || param.info()->dataType == CAudioParamInfo::Float;
}

// Copies count values; non-float values are item indices, whose items are copied into the target pool.
void copyValues(const CAudioParam& param, const double* values, const CAudioParamData* pool, size_t count,
                double* target, std::unique_ptr<CAudioParamData>& targetPool) {
    if (isFloat(param) || !pool) {
        std::copy(values, values + count, target);
        return;
    }
    if (!targetPool) targetPool = std::make_unique<CAudioParamData>();
    for (size_t i = 0; i < count; ++i)
        target[i] = double(targetPool->copyItem(*pool, CAudioParamData::indexOfValue(values[i])));
}

} // namespace

CAudioParamChangeList::SEntry* CAudioParamChangeList::findMergeTarget(const CAudioParam& param,
                                                                      int32_t group) {
    if (group == CAudioParamStorage::kCommonGroup) return nullptr;
    for (auto entry = m_entries.rbegin(); entry != m_entries.rend(); ++entry)
        if (entry->param == &param && entry->group == group) return &*entry;
    return nullptr;
}

void CAudioParamChangeList::add(CAudioParam& param, const SAudioParamChange& change, bool merge) {
    if (SEntry* entry = merge ? findMergeTarget(param, change.group) : nullptr) {
        mergeInto(*entry, change.firstElement, change.elementCount, change.values, change.pool);
        return;
    }
    SEntry& entry = m_entries.emplace_back();
    entry.param = &param;
    entry.group = change.group;
    entry.firstElement = change.firstElement;
    entry.elementCount = change.elementCount;
    entry.values.resize(size_t(change.elementCount) * size_t(elementSizeOf(param)));
    copyValues(param, change.values, change.pool, entry.values.size(), entry.values.data(), entry.pool);
}

void CAudioParamChangeList::addAll(CAudioParamChangeList& other, bool merge) {
    for (SEntry& incoming : other.m_entries) {
        if (SEntry* entry = merge ? findMergeTarget(*incoming.param, incoming.group) : nullptr) {
            CCriticalSectionGuard guard(incoming.param->lock());
            mergeInto(*entry, incoming.firstElement, incoming.elementCount, incoming.values.data(),
                      incoming.pool.get());
        } else {
            m_entries.push_back(std::move(incoming));
        }
    }
    other.m_entries.clear();
}

// The merged entry spans both element ranges. Elements between the two ranges, which neither change
// carried, are taken from the live values: they hold every change made so far.
void CAudioParamChangeList::mergeInto(SEntry& entry, int32_t firstElement, int32_t elementCount,
                                      const double* values, const CAudioParamData* pool) {
    const CAudioParam& param = *entry.param;
    const size_t size = size_t(elementSizeOf(param));
    const int32_t first = std::min(entry.firstElement, firstElement);
    const int32_t end = std::max(entry.firstElement + entry.elementCount, firstElement + elementCount);
    std::vector<double> merged(size_t(end - first) * size);
    std::unique_ptr<CAudioParamData> mergedPool;
    for (int32_t e = first; e < end; ++e) {
        double* target = &merged[size_t(e - first) * size];
        if (e >= firstElement && e < firstElement + elementCount) {
            copyValues(param, values + size_t(e - firstElement) * size, pool, size, target, mergedPool);
        } else if (e >= entry.firstElement && e < entry.firstElement + entry.elementCount) {
            copyValues(param, &entry.values[size_t(e - entry.firstElement) * size], entry.pool.get(), size,
                       target, mergedPool);
        } else {
            std::vector<double> live(size);
            for (size_t k = 0; k < size; ++k)
                live[k] = param.values().getValue(entry.group, int32_t(size_t(e) * size + k), 0.0);
            copyValues(param, live.data(), &param.values().pool(), size, target, mergedPool);
        }
    }
    entry.firstElement = first;
    entry.elementCount = end - first;
    entry.values.swap(merged);
    entry.pool = std::move(mergedPool);
}

void CAudioParamChangeList::applyToAudio() const {
    for (const SEntry& entry : m_entries)
        entry.param->applyAudioChange(entry.group, entry.firstElement, entry.elementCount,
                                      entry.values.data(), entry.pool.get());
}

} // namespace qel
