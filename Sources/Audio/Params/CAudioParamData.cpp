#include "Audio/Params/CAudioParamData.h"

#include <cmath>

#include "Audio/Params/CAudioParamDataItemRaw.h"
#include "Audio/Params/CAudioParamDataItemString.h"

namespace qel {

int32_t CAudioParamData::add(std::unique_ptr<CAudioParamDataItem> item) {
    int32_t index = ++m_lastIndex;
    m_items[index] = std::move(item);
    return index;
}

int32_t CAudioParamData::addString(const CString& text) {
    return add(std::make_unique<CAudioParamDataItemString>(text));
}

int32_t CAudioParamData::addRaw() {
    return add(std::make_unique<CAudioParamDataItemRaw>());
}

int32_t CAudioParamData::addRaw(CByteBuffer&& bytes) {
    return add(std::make_unique<CAudioParamDataItemRaw>(std::move(bytes)));
}

int32_t CAudioParamData::copyItem(const CAudioParamData& source, int32_t sourceIndex) {
    const CAudioParamDataItem* original = source.item(sourceIndex);
    return original ? add(original->clone()) : 0;
}

void CAudioParamData::release(int32_t index) {
    m_items.erase(index);
}

void CAudioParamData::clear() {
    m_items.clear();
    m_lastIndex = 0;
}

void CAudioParamData::copyFrom(const CAudioParamData& other) {
    if (&other == this) return;
    m_items.clear();
    for (const auto& [index, item] : other.m_items)
        m_items[index] = item->clone();
    m_lastIndex = other.m_lastIndex;
}

const CAudioParamDataItem* CAudioParamData::item(int32_t index) const {
    auto it = m_items.find(index);
    return it == m_items.end() ? nullptr : it->second.get();
}

CString CAudioParamData::getString(int32_t index) const {
    auto* text = dynamic_cast<const CAudioParamDataItemString*>(item(index));
    return text ? text->text() : CString();
}

const CByteBuffer& CAudioParamData::getRaw(int32_t index) const {
    static const CByteBuffer empty;
    auto* raw = dynamic_cast<const CAudioParamDataItemRaw*>(item(index));
    return raw ? raw->bytes() : empty;
}

CError* CAudioParamData::save(COutputStream& stream) const {
    QEL_CHECK(stream.writeValue(int32_t(m_items.size())));
    for (const auto& [index, item] : m_items) {
        QEL_CHECK(stream.writeValue(index));
        QEL_CHECK(stream.writeValue(item->type()));
        QEL_CHECK(item->save(stream));
    }
    return nullptr;
}

CError* CAudioParamData::load(CInputStream& stream) {
    clear();
    int32_t count = 0;
    QEL_CHECK(stream.readValue(count));
    if (count < 0)
        return QEL_ERROR({}, "@qelstr_CAudioParamData_load_CountError Invalid item count %1.", count);
    for (int32_t i = 0; i < count; ++i) {
        int32_t index = 0, type = 0;
        QEL_CHECK(stream.readValue(index));
        QEL_CHECK(stream.readValue(type));
        // Indices are handed out from 1 upward and never twice.
        if (index <= 0 || m_items.count(index))
            return QEL_ERROR({}, "@qelstr_CAudioParamData_load_IndexError Invalid item index %1.", index);
        std::unique_ptr<CAudioParamDataItem> item = CAudioParamDataItem::create(type);
        if (!item)
            return QEL_ERROR({}, "@qelstr_CAudioParamData_load_TypeError Unknown data type %1 encountered",
                             type);
        QEL_CHECK(item->load(stream));
        m_items[index] = std::move(item);
        if (index > m_lastIndex) m_lastIndex = index;
    }
    return nullptr;
}

int32_t CAudioParamData::indexOfValue(double value) {
    double rounded = value >= 0 ? std::floor(value + 0.5) : -std::floor(0.5 - value);
    // Garbage values name no item rather than overflowing the conversion.
    if (!(rounded >= double(INT32_MIN) && rounded <= double(INT32_MAX))) return 0;
    return int32_t(rounded);
}

} // namespace qel
