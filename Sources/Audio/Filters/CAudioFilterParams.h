#pragma once

#include <array>
#include <cstdint>

#include "Core/CString.h"

namespace qel {

// The parameter values a filter generator receives: the "type" selector of a generator array and the
// value slots ("freq" in Hz, "gain" as a linear factor, "bw" in octaves or the Q, ...) in the order the
// process registered them. "type" is kept apart from the value slots, so that an "adjust" list of a
// serial generator counts its elements from the first value slot. Fixed capacity: copies never allocate.
class CAudioFilterParams {
public:
    static constexpr int32_t kMaxSlots = 8;
    static constexpr const char* kTypeSlot = "type";

    // Sets the named slot, appending it when new; false when all slots are taken.
    bool set(const CString& name, double value);
    // The named slot's value, or fallback when there is no such slot.
    double get(const CString& name, double fallback) const;
    bool has(const CString& name) const;

    double type() const { return m_type; }
    void setType(double type) { m_type = type; }

    // The value slots by position.
    int32_t count() const { return m_count; }
    const CString& name(int32_t index) const { return m_names[size_t(index)]; }
    double value(int32_t index) const { return m_values[size_t(index)]; }
    void setValue(int32_t index, double value) { m_values[size_t(index)] = value; }

private:
    int32_t find(const CString& name) const;

    std::array<CString, kMaxSlots> m_names;
    std::array<double, kMaxSlots> m_values{};
    int32_t m_count = 0;
    double m_type = 0.0;
};

} // namespace qel
