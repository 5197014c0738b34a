#pragma once

#include <cstdint>
#include <vector>

#include "Audio/Params/CAudioParamData.h"

namespace qel {

class CAudioParamInfo;

// The values of one parameter in groups × elements × values, with the pool of its string and raw
// values: the defaults of a definition, the values of a preset, the live values of a parameter.
class CAudioParamStorage : public CCheckedObject {
public:
    // The group that stands for the common value of all groups without values of their own.
    static constexpr int32_t kCommonGroup = 9999;

    // Takes the shape from the info and marks the storage as holding data; drops all values.
    void initShape(const CAudioParamInfo& info);
    void setShape(int32_t elementSize, int32_t dataType, bool isSingleGroup, bool isSingleElement);
    void copyFrom(const CAudioParamStorage& other);
    // Removes every group (the pool and the fallback stay).
    void clearGroups();

    int32_t elementSize() const { return m_elementSize; }
    int32_t dataType() const { return m_dataType; }
    bool isSingleGroup() const { return m_isSingleGroup; }
    bool isSingleElement() const { return m_isSingleElement; }
    bool hasData() const { return m_hasData; }
    int32_t groupCount() const { return int32_t(m_groups.size()); }
    // Zero for a group that is not present.
    int32_t elementCount(int32_t group) const;
    // The flat values of a present group (element e, position k at e × elementSize + k); null otherwise.
    const double* groupValues(int32_t group) const;

    // The value at flat index of the group; missing values come from the fallback array.
    // Whether the group or the common value really holds a value at index (no fallback to value 0).
    bool hasValue(int32_t group, int32_t index) const;
    double getValue(int32_t group, int32_t index, double fallback) const;
    // Stores a value, appending zero-filled groups and elements as needed; the common group writes the
    // fallback array.
    void setValue(int32_t group, int32_t element, int32_t position, double value);
    // Sets the element count of a group, zero-filling new elements.
    void setElementCount(int32_t group, int32_t count);

    const std::vector<double>& fallback() const { return m_fallback; }
    void setFallback(std::vector<double> values) { m_fallback = std::move(values); }

    CAudioParamData& pool() { return m_pool; }
    const CAudioParamData& pool() const { return m_pool; }

    // Limits every value to the range of its position (either order of the limits).
    void clamp(const CAudioParamInfo& info);

    // Group −1 writes every group, any other value that group only.
    CError* save(COutputStream& stream, int32_t group) const;
    // Replaces the groups with those of the block; the shape must match this storage's.
    CError* load(CInputStream& stream);
    CError* parseDefValues(const CString& text, const CAudioParamInfo& info);

private:
    std::vector<double>& groupForWrite(int32_t group);
    const std::vector<double>& savedValues(int32_t group) const;
    void releaseReferencedItems();
    CError* loadGroupsFloat(CInputStream& stream, int32_t groupCount);
    CError* loadGroupsIndexed(CInputStream& stream, int32_t groupCount);
    CError* storeDefValue(const CString& token, const CAudioParamInfo& info, int32_t group, int32_t element,
                          int32_t position);

    int32_t m_elementSize = 1;
    int32_t m_dataType = 0;
    bool m_isSingleGroup = false;
    bool m_isSingleElement = false;
    bool m_hasData = false;
    CAudioParamData m_pool;
    std::vector<std::vector<double>> m_groups;
    std::vector<double> m_fallback;
};

} // namespace qel
