#pragma once

#include <cstdint>
#include <map>

#include "Core/CString.h"

namespace qel {

// A tagged attribute or event parameter value. Text assigned to it is classified: decimal integers
// that format back to the same characters become integers, "true"/"false" booleans, "" empty.
class CAttrValue {
public:
    enum class Kind : uint8_t { Empty, Bool, Int, Double, Text, Pointer };

    CAttrValue() = default;
    explicit CAttrValue(const CString& text) { assignText(text); }

    void assignText(const CString& text);
    void setBool(bool value);
    void setInt(int32_t value);
    void setDouble(double value);
    // An address handed between trees of one process; its text is the address in hexadecimal.
    void setPointer(void* value);

    Kind kind() const { return m_kind; }
    // The text form; built on first use for non-text values (doubles with 4 decimals).
    const CString& text() const;
    bool toBool(bool fallback = false) const;
    int32_t toInt(int32_t fallback = 0) const;
    double toDouble(double fallback = 0) const;
    // Null for every other kind.
    void* toPointer() const { return m_kind == Kind::Pointer ? m_pointer : nullptr; }

private:
    Kind m_kind = Kind::Empty;
    union {
        bool m_bool;
        int32_t m_int;
        double m_double = 0;
        void* m_pointer;
    };
    mutable CString m_text;
    mutable bool m_hasText = true;
};

// Named values handed to event handlers ("sender", "event-name", "listener", ...).
class CParamList {
public:
    void set(const CString& name, const CString& text) { m_values[name].assignText(text); }
    void setInt(const CString& name, int32_t value) { m_values[name].setInt(value); }
    const CAttrValue* find(const CString& name) const;
    CString text(const CString& name) const;
    int32_t toInt(const CString& name, int32_t fallback = 0) const;
    bool has(const CString& name) const { return find(name) != nullptr; }
    const std::map<CString, CAttrValue>& values() const { return m_values; }

private:
    std::map<CString, CAttrValue> m_values;
};

} // namespace qel
