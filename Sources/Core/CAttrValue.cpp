#include "Core/CAttrValue.h"

namespace qel {

void CAttrValue::assignText(const CString& text) {
    int32_t number;
    if (text.isEmpty()) {
        m_kind = Kind::Empty;
    } else if (text.parseInt32(number) && CString::fromInt(number) == text) {
        m_kind = Kind::Int;
        m_int = number;
    } else if (text == "true" || text == "false") {
        m_kind = Kind::Bool;
        m_bool = text.length() == 4;
    } else {
        m_kind = Kind::Text;
    }
    m_text = text;
    m_hasText = true;
}

void CAttrValue::setBool(bool value) {
    m_kind = Kind::Bool;
    m_bool = value;
    m_hasText = false;
}

void CAttrValue::setInt(int32_t value) {
    m_kind = Kind::Int;
    m_int = value;
    m_hasText = false;
}

void CAttrValue::setDouble(double value) {
    m_kind = Kind::Double;
    m_double = value;
    m_hasText = false;
}

void CAttrValue::setPointer(void* value) {
    m_kind = Kind::Pointer;
    m_pointer = value;
    m_hasText = false;
}

const CString& CAttrValue::text() const {
    if (!m_hasText) {
        switch (m_kind) {
        case Kind::Bool:
            m_text = m_bool ? "true" : "false";
            break;
        case Kind::Int:
            m_text = CString::fromInt(m_int);
            break;
        case Kind::Double:
            m_text = CString::fromDouble(m_double, 4);
            break;
        case Kind::Pointer:
            m_text = CString::format("0x%llx",
                                     static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(m_pointer)));
            break;
        default:
            m_text.clear();
        }
        m_hasText = true;
    }
    return m_text;
}

bool CAttrValue::toBool(bool fallback) const {
    switch (m_kind) {
    case Kind::Bool:
        return m_bool;
    case Kind::Int:
        return m_int == 1 ? true : m_int == 0 ? false : fallback;
    case Kind::Double:
        return m_double != 0;
    default:
        return fallback;
    }
}

int32_t CAttrValue::toInt(int32_t fallback) const {
    switch (m_kind) {
    case Kind::Int:
        return m_int;
    case Kind::Bool:
        return m_bool ? 1 : 0;
    case Kind::Double:
        return int32_t(m_double);
    case Kind::Text: {
        int32_t value;
        return m_text.parseInt32(value) ? value : fallback;
    }
    default:
        return fallback;
    }
}

double CAttrValue::toDouble(double fallback) const {
    switch (m_kind) {
    case Kind::Int:
        return m_int;
    case Kind::Double:
        return m_double;
    case Kind::Bool:
        return m_bool ? 1 : 0;
    case Kind::Text: {
        double value;
        return m_text.parseDouble(value) ? value : fallback;
    }
    default:
        return fallback;
    }
}

const CAttrValue* CParamList::find(const CString& name) const {
    auto it = m_values.find(name);
    return it == m_values.end() ? nullptr : &it->second;
}

CString CParamList::text(const CString& name) const {
    const CAttrValue* value = find(name);
    return value ? value->text() : CString();
}

int32_t CParamList::toInt(const CString& name, int32_t fallback) const {
    const CAttrValue* value = find(name);
    return value ? value->toInt(fallback) : fallback;
}

} // namespace qel
