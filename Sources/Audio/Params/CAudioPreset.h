#pragma once

#include <map>

#include "Core/CInputStream.h"
#include "Core/COutputStream.h"
#include "Core/CString.h"

namespace qel {

// A named set of parameter values: parameter name (relative to its registry's hierarchy) -> the bytes
// of that parameter's storage block. Blocks are kept as written, so a preset that is only stored and
// written again is never parsed.
class CAudioPreset : public CCheckedObject {
public:
    static constexpr uint32_t kResourceType = qelFourCC("aprs");

    const CString& name() const { return m_name; }
    void setName(const CString& name) { m_name = name; }
    // The registry id before the first ":" (the whole name without one) and the own name after it.
    CString idPart() const;
    CString ownName() const;

    const std::map<CString, CByteBuffer>& entries() const { return m_entries; }
    void setEntry(const CString& key, CByteBuffer bytes) { m_entries[key] = std::move(bytes); }
    void clearEntries() { m_entries.clear(); }
    void copyFrom(const CAudioPreset& other);

    CError* save(COutputStream& stream) const;
    // Replaces name and entries; on failure the preset is left empty.
    CError* load(CInputStream& stream);
    // A preset file or data entry: a container holding the block as an "aprs" resource.
    CError* loadFile(const CString& name);
    CError* saveFile(const CString& path) const;

private:
    CString m_name;
    std::map<CString, CByteBuffer> m_entries;
};

} // namespace qel
