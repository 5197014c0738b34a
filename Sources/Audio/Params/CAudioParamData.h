#pragma once

#include <map>
#include <memory>

#include "Audio/Params/CAudioParamDataItem.h"
#include "Core/CString.h"

namespace qel {

// The pool of string and raw values of one parameter storage. Value slots of non-float parameters hold
// the index of their item as a double.
class CAudioParamData : public CCheckedObject {
public:
    int32_t addString(const CString& text);
    int32_t addRaw();
    int32_t addRaw(CByteBuffer&& bytes);
    // Copies the source's item under a new index of this pool; 0 when the source has no such item.
    int32_t copyItem(const CAudioParamData& source, int32_t sourceIndex);
    void release(int32_t index);
    void clear();
    // A copy of the other pool with the same indices.
    void copyFrom(const CAudioParamData& other);

    const CAudioParamDataItem* item(int32_t index) const;
    // Empty when the item is missing or of the other type.
    CString getString(int32_t index) const;
    const CByteBuffer& getRaw(int32_t index) const;

    int32_t itemCount() const { return int32_t(m_items.size()); }
    int32_t lastIndex() const { return m_lastIndex; }

    CError* save(COutputStream& stream) const;
    CError* load(CInputStream& stream);

    // The item index a value slot holds, rounded half away from zero.
    static int32_t indexOfValue(double value);

private:
    int32_t add(std::unique_ptr<CAudioParamDataItem> item);

    int32_t m_lastIndex = 0;
    std::map<int32_t, std::unique_ptr<CAudioParamDataItem>> m_items;
};

} // namespace qel
