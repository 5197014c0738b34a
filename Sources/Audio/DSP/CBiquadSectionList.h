#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "Audio/DSP/SBiquadSection.h"

namespace qel {

// The sections a filter generator produces, in cascade order. Fixed capacity, so that regenerating
// coefficients on the audio thread never allocates; sections beyond the capacity are dropped and
// reported by overflowed().
class CBiquadSectionList {
public:
    static constexpr int32_t kCapacity = 32;

    void clear() {
        m_count = 0;
        m_overflowed = false;
    }
    // False (and the section dropped) when the list is full.
    bool append(const SBiquadSection& section) {
        if (m_count == kCapacity) {
            m_overflowed = true;
            return false;
        }
        m_sections[size_t(m_count++)] = section;
        return true;
    }

    int32_t count() const { return m_count; }
    bool isEmpty() const { return m_count == 0; }
    bool overflowed() const { return m_overflowed; }
    const SBiquadSection& operator[](int32_t index) const { return m_sections[size_t(index)]; }
    const SBiquadSection* begin() const { return m_sections.data(); }
    const SBiquadSection* end() const { return m_sections.data() + m_count; }

private:
    std::array<SBiquadSection, kCapacity> m_sections;
    int32_t m_count = 0;
    bool m_overflowed = false;
};

} // namespace qel
