#pragma once

#include <memory>
#include <vector>

#include "Audio/Params/CAudioPreset.h"

namespace qel {

// A named, ordered list of presets.
class CAudioPresetBank : public CCheckedObject {
public:
    static constexpr uint32_t kResourceType = qelFourCC("abnk");
    // A data entry holding an int32 bank count followed by that many bank blocks.
    static constexpr uint32_t kListType = qelFourCC("alst");

    const CString& name() const { return m_name; }
    void setName(const CString& name) { m_name = name; }

    int32_t presetCount() const { return int32_t(m_presets.size()); }
    // Null outside 0..count-1.
    CAudioPreset* preset(int32_t index) const;
    CAudioPreset& addPreset();
    void resize(int32_t count);
    void copyFrom(const CAudioPresetBank& other);

    CError* save(COutputStream& stream) const;
    // Replaces name and presets; on failure the bank is left empty.
    CError* load(CInputStream& stream);
    CError* loadFile(const CString& name);
    CError* saveFile(const CString& path) const;

    // The first bank of a list block; empty (and found false) when the list holds no bank.
    static CError* loadFirstOfList(CInputStream& stream, CAudioPresetBank& bank, bool& found);
    static CError* saveList(COutputStream& stream, const std::vector<const CAudioPresetBank*>& banks);

private:
    CString m_name;
    std::vector<std::unique_ptr<CAudioPreset>> m_presets;
};

} // namespace qel
