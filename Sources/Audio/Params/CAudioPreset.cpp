#include "Audio/Params/CAudioPreset.h"

#include "Core/CMemoryReader.h"
#include "Core/CResourceContainer.h"
#include "Core/CWriteSeqBuffer.h"

namespace qel {

CString CAudioPreset::idPart() const {
    const size_t colon = m_name.find(':');
    return colon == CString::npos ? m_name : m_name.substr(0, colon);
}

CString CAudioPreset::ownName() const {
    const size_t colon = m_name.find(':');
    return colon == CString::npos ? m_name : m_name.substr(colon + 1);
}

void CAudioPreset::copyFrom(const CAudioPreset& other) {
    m_name = other.m_name;
    m_entries = other.m_entries;
}

CError* CAudioPreset::save(COutputStream& stream) const {
    QEL_CHECK(stream.writeString(m_name));
    QEL_CHECK(stream.writeValue(int32_t(m_entries.size())));
    for (const auto& [key, bytes] : m_entries) {
        QEL_CHECK(stream.writeString(key));
        QEL_CHECK(stream.writeValue(int32_t(bytes.size())));
        QEL_CHECK(stream.write(bytes.data(), uint32_t(bytes.size())));
    }
    return nullptr;
}

CError* CAudioPreset::load(CInputStream& stream) {
    m_name.clear();
    m_entries.clear();
    CString name;
    int32_t count = 0;
    QEL_CHECK(stream.readString(name));
    QEL_CHECK(stream.readValue(count));
    if (count < 0)
        return QEL_ERROR({}, "@qelstr_CAudioPreset_load_CountError Invalid preset entry count %1.", count);
    std::map<CString, CByteBuffer> entries;
    for (int32_t i = 0; i < count; ++i) {
        CString key;
        int32_t size = 0;
        QEL_CHECK(stream.readString(key));
        QEL_CHECK(stream.readValue(size));
        if (size < 0)
            return QEL_ERROR({}, "@qelstr_CAudioPreset_load_SizeError Invalid size %1 of preset entry '%2'.",
                             size, key);
        QEL_CHECK(stream.readBytes(entries[key], uint32_t(size)));
    }
    m_name = name;
    m_entries.swap(entries);
    return nullptr;
}

CError* CAudioPreset::loadFile(const CString& name) {
    CByteBuffer block;
    bool found = false;
    QEL_CHECK(CResourceContainer::load(name, kResourceType, block, found));
    if (!found) return QEL_ERROR({}, "@qelstr_CAudioPreset_loadFile_NoPreset '%1' holds no preset.", name);
    CMemoryReader reader(std::move(block));
    CError* error = load(reader);
    return error ? QEL_PASS_CTX(error, name) : nullptr;
}

CError* CAudioPreset::saveFile(const CString& path) const {
    CWriteSeqBuffer buffer;
    QEL_CHECK(save(buffer));
    return CResourceContainer::save(path, kResourceType, buffer.join());
}

} // namespace qel
