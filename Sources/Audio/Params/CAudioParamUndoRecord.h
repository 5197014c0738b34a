#pragma once

#include <map>
#include <memory>
#include <vector>

#include "Audio/Params/CAudioParamData.h"
#include "Audio/Params/SAudioParamChange.h"
#include "Core/CString.h"

namespace qel {

class CAudioParamCollector;

// One undoable step: the values before and after every change made while it was collecting, by
// parameter name, so that it stays valid when a parameter object is made again.
class CAudioParamUndoRecord : public CAudioParamChangeRecord {
public:
    struct SValues {
        int32_t elementCount = 0;
        std::vector<double> values;
    };
    struct SEntry {
        int32_t group = 0;
        int32_t firstElement = 0;
        uint32_t flags = 0;
        int32_t elementSize = 1;
        int32_t dataType = 0;
        bool isSingleGroup = false;
        bool isSingleElement = false;
        SValues before;
        SValues after;
        // Items that string and raw values refer to.
        std::unique_ptr<CAudioParamData> pool;
    };

    explicit CAudioParamUndoRecord(const CString& label, bool mergeable = false, int32_t mergeKey = -1)
        : m_label(label), m_mergeable(mergeable), m_mergeKey(mergeKey) {}

    void recordBefore(const CAudioParam& param, const SAudioParamChange& change) override;
    void recordAfter(const CAudioParam& param, const SAudioParamChange& change) override;

    const CString& label() const { return m_label; }
    void setLabel(const CString& label) { m_label = label; }
    bool isMergeable() const { return m_mergeable; }
    int32_t mergeKey() const { return m_mergeKey; }
    bool isEmpty() const { return m_changes.empty(); }
    // Takes over the "after" values of a later record; the earlier "before" values stay.
    void merge(CAudioParamUndoRecord& later);
    // Writes the values of one side through the parameters, without recording.
    void apply(CAudioParamCollector& collector, bool after) const;

private:
    SValues capture(const CAudioParam& param, const SAudioParamChange& change, SEntry& entry) const;

    CString m_label;
    bool m_mergeable;
    int32_t m_mergeKey;
    std::map<CString, std::vector<SEntry>> m_changes;
};

} // namespace qel
