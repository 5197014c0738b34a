#include "Audio/Filters/CAudioFilterParams.h"

namespace qel {

int32_t CAudioFilterParams::find(const CString& name) const {
    for (int32_t i = 0; i < m_count; ++i)
        if (m_names[size_t(i)] == name) return i;
    return -1;
}

bool CAudioFilterParams::set(const CString& name, double value) {
    if (name == kTypeSlot) {
        m_type = value;
        return true;
    }
    int32_t index = find(name);
    if (index < 0) {
        if (m_count == kMaxSlots) return false;
        index = m_count++;
        m_names[size_t(index)] = name;
    }
    m_values[size_t(index)] = value;
    return true;
}

double CAudioFilterParams::get(const CString& name, double fallback) const {
    if (name == kTypeSlot) return m_type;
    const int32_t index = find(name);
    return index < 0 ? fallback : m_values[size_t(index)];
}

bool CAudioFilterParams::has(const CString& name) const {
    return name == kTypeSlot || find(name) >= 0;
}

} // namespace qel
