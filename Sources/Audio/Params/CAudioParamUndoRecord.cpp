#include "Audio/Params/CAudioParamUndoRecord.h"

#include <algorithm>

#include "Audio/Params/CAudioParam.h"
#include "Audio/Params/CAudioParamCollector.h"
#include "Audio/Params/CAudioParamInfo.h"

namespace qel {

CAudioParamUndoRecord::SValues CAudioParamUndoRecord::capture(const CAudioParam& param,
                                                              const SAudioParamChange& change,
                                                              SEntry& entry) const {
    SValues captured;
    const CAudioParamStorage& values = param.values();
    const int32_t size = std::max(values.elementSize(), 1);
    captured.elementCount = change.elementCount;
    captured.values.resize(size_t(change.elementCount) * size_t(size));
    for (size_t i = 0; i < captured.values.size(); ++i) {
        double value = values.getValue(change.group, int32_t(size_t(change.firstElement * size) + i), 0.0);
        if (entry.dataType != CAudioParamInfo::Float) {
            if (!entry.pool) entry.pool = std::make_unique<CAudioParamData>();
            value = double(entry.pool->copyItem(values.pool(), CAudioParamData::indexOfValue(value)));
        }
        captured.values[i] = value;
    }
    return captured;
}

void CAudioParamUndoRecord::recordBefore(const CAudioParam& param, const SAudioParamChange& change) {
    std::vector<SEntry>& entries = m_changes[param.name()];
    SEntry& entry = entries.emplace_back();
    const CAudioParamStorage& values = param.values();
    entry.group = change.group;
    entry.firstElement = change.firstElement;
    entry.flags = change.flags;
    entry.elementSize = values.elementSize();
    entry.dataType = values.dataType();
    entry.isSingleGroup = values.isSingleGroup();
    entry.isSingleElement = values.isSingleElement();
    entry.before = capture(param, change, entry);
}

void CAudioParamUndoRecord::recordAfter(const CAudioParam& param, const SAudioParamChange& change) {
    std::vector<SEntry>& entries = m_changes[param.name()];
    if (entries.empty()) return;
    SEntry& entry = entries.back();
    entry.after = capture(param, change, entry);
    // A change that changed nothing is no step to undo.
    if (entry.before.values == entry.after.values && entry.dataType == CAudioParamInfo::Float) {
        entries.pop_back();
        if (entries.empty()) m_changes.erase(param.name());
    }
}

void CAudioParamUndoRecord::merge(CAudioParamUndoRecord& later) {
    for (auto& [name, laterEntries] : later.m_changes) {
        std::vector<SEntry>& entries = m_changes[name];
        for (SEntry& incoming : laterEntries) {
            auto same = std::find_if(entries.begin(), entries.end(), [&](const SEntry& e) {
                return e.group == incoming.group && e.firstElement == incoming.firstElement &&
                       e.before.elementCount == incoming.before.elementCount &&
                       e.dataType == CAudioParamInfo::Float && incoming.dataType == CAudioParamInfo::Float;
            });
            if (same != entries.end())
                same->after = std::move(incoming.after);
            else
                entries.push_back(std::move(incoming));
        }
    }
    later.m_changes.clear();
}

void CAudioParamUndoRecord::apply(CAudioParamCollector& collector, bool after) const {
    auto applyEntry = [&](CAudioParam& param, const SEntry& entry) {
        const SValues& side = after ? entry.after : entry.before;
        if (side.elementCount <= 0) return;
        SAudioParamChange change;
        change.group = entry.group;
        change.firstElement = entry.firstElement;
        change.elementCount = side.elementCount;
        change.values = side.values.data();
        change.pool = entry.pool.get();
        change.flags = entry.flags;
        change.cause = this;
        param.applyChange(change);
    };
    auto applyParam = [&](const CString& name, const std::vector<SEntry>& entries) {
        CAudioParam* param = collector.getParam(name);
        if (!param) return;
        // Undo walks the changes of one record backwards, so that the first "before" wins.
        if (after)
            for (const SEntry& entry : entries)
                applyEntry(*param, entry);
        else
            for (auto entry = entries.rbegin(); entry != entries.rend(); ++entry)
                applyEntry(*param, *entry);
    };
    collector.acquire(true);
    if (after)
        for (const auto& [name, entries] : m_changes)
            applyParam(name, entries);
    else
        for (auto it = m_changes.rbegin(); it != m_changes.rend(); ++it)
            applyParam(it->first, it->second);
    collector.release(true);
}

} // namespace qel
