#include "Audio/Params/CAudioPresetBank.h"

#include "Core/CMemoryReader.h"
#include "Core/CResourceContainer.h"
#include "Core/CWriteSeqBuffer.h"

namespace qel {

CAudioPreset* CAudioPresetBank::preset(int32_t index) const {
    return index >= 0 && index < presetCount() ? m_presets[size_t(index)].get() : nullptr;
}

CAudioPreset& CAudioPresetBank::addPreset() {
    return *m_presets.emplace_back(std::make_unique<CAudioPreset>());
}

void CAudioPresetBank::resize(int32_t count) {
    while (presetCount() > count)
        m_presets.pop_back();
    while (presetCount() < count)
        addPreset();
}

void CAudioPresetBank::copyFrom(const CAudioPresetBank& other) {
    m_name = other.m_name;
    m_presets.clear();
    for (const auto& preset : other.m_presets)
        addPreset().copyFrom(*preset);
}

CError* CAudioPresetBank::save(COutputStream& stream) const {
    QEL_CHECK(stream.writeString(m_name));
    QEL_CHECK(stream.writeValue(int32_t(m_presets.size())));
    for (const auto& preset : m_presets)
        QEL_CHECK(preset->save(stream));
    return nullptr;
}

CError* CAudioPresetBank::load(CInputStream& stream) {
    m_name.clear();
    m_presets.clear();
    CString name;
    int32_t count = 0;
    QEL_CHECK(stream.readString(name));
    QEL_CHECK(stream.readValue(count));
    if (count < 0)
        return QEL_ERROR({}, "@qelstr_CAudioPresetBank_load_CountError Invalid preset count %1.", count);
    std::vector<std::unique_ptr<CAudioPreset>> presets;
    for (int32_t i = 0; i < count; ++i) {
        auto preset = std::make_unique<CAudioPreset>();
        if (CError* error = preset->load(stream))
            return QEL_PASS_CTX(error, CString::format("preset %d", int(i)));
        presets.push_back(std::move(preset));
    }
    m_name = name;
    m_presets.swap(presets);
    return nullptr;
}

CError* CAudioPresetBank::loadFile(const CString& name) {
    CByteBuffer block;
    bool found = false;
    QEL_CHECK(CResourceContainer::load(name, kResourceType, block, found));
    if (!found) return QEL_ERROR({}, "@qelstr_CAudioPresetBank_loadFile_NoBank '%1' holds no bank.", name);
    CMemoryReader reader(std::move(block));
    CError* error = load(reader);
    return error ? QEL_PASS_CTX(error, name) : nullptr;
}

CError* CAudioPresetBank::saveFile(const CString& path) const {
    CWriteSeqBuffer buffer;
    QEL_CHECK(save(buffer));
    return CResourceContainer::save(path, kResourceType, buffer.join());
}

CError* CAudioPresetBank::loadFirstOfList(CInputStream& stream, CAudioPresetBank& bank, bool& found) {
    found = false;
    int32_t count = 0;
    QEL_CHECK(stream.readValue(count));
    if (count < 0)
        return QEL_ERROR({}, "@qelstr_CAudioPresetBank_loadFirstOfList_CountError Invalid bank count %1.",
                         count);
    if (count == 0) return nullptr;
    QEL_CHECK(bank.load(stream));
    found = true;
    return nullptr;
}

CError* CAudioPresetBank::saveList(COutputStream& stream, const std::vector<const CAudioPresetBank*>& banks) {
    QEL_CHECK(stream.writeValue(int32_t(banks.size())));
    for (const CAudioPresetBank* bank : banks)
        QEL_CHECK(bank->save(stream));
    return nullptr;
}

} // namespace qel
