#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "Audio/Params/CAudioParamData.h"
#include "Audio/Params/SAudioParamChange.h"

namespace qel {

// Changes on their way to the audio thread. With merging, a burst of changes of one parameter and
// group costs a single entry that carries the latest values.
class CAudioParamChangeList {
public:
    struct SEntry {
        CAudioParam* param = nullptr;
        int32_t group = 0;
        int32_t firstElement = 0;
        int32_t elementCount = 0;
        std::vector<double> values;
        std::unique_ptr<CAudioParamData> pool; // items of non-float values
    };

    // Copies the change in, or merges it into the last entry of the same parameter and group (never
    // the common group). Caller holds the parameter's lock.
    void add(CAudioParam& param, const SAudioParamChange& change, bool merge);
    // Moves every entry of other in, in order, merging as add does.
    void addAll(CAudioParamChangeList& other, bool merge);
    void swap(CAudioParamChangeList& other) { m_entries.swap(other.m_entries); }
    void clear() { m_entries.clear(); }

    size_t size() const { return m_entries.size(); }
    bool empty() const { return m_entries.empty(); }
    const SEntry& operator[](size_t index) const { return m_entries[index]; }

    // Audio thread: writes the entries, in order, to the parameters' audio values.
    void applyToAudio() const;

private:
    SEntry* findMergeTarget(const CAudioParam& param, int32_t group);
    void mergeInto(SEntry& entry, int32_t firstElement, int32_t elementCount, const double* values,
                   const CAudioParamData* pool);

    std::vector<SEntry> m_entries;
};

} // namespace qel
