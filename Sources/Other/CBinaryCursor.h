#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace qel {

// Little-endian reads from a byte range that never pass its end: every read reports whether the
// bytes were there, so readers of outside data check each field instead of trusting counts.
class CBinaryCursor {
public:
    CBinaryCursor(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}

    size_t position() const { return m_position; }
    size_t remaining() const { return m_size - m_position; }

    bool bytes(const uint8_t*& out, size_t count) {
        if (count > remaining()) return false;
        out = m_data + m_position;
        m_position += count;
        return true;
    }
    bool u8(uint8_t& out) { return unsignedValue(out); }
    bool u16(uint16_t& out) { return unsignedValue(out); }
    bool u32(uint32_t& out) { return unsignedValue(out); }
    bool i16(int16_t& out) {
        uint16_t raw = 0;
        if (!u16(raw)) return false;
        out = int16_t(raw);
        return true;
    }
    // Only finite numbers: NaN and infinities are damaged data, never meaningful here.
    bool f32(float& out) {
        uint32_t raw = 0;
        if (!u32(raw)) return false;
        std::memcpy(&out, &raw, sizeof out);
        return std::isfinite(out);
    }

private:
    template <class T>
    bool unsignedValue(T& out) {
        if (sizeof(T) > remaining()) return false;
        T value = 0;
        for (size_t i = 0; i < sizeof(T); ++i)
            value |= T(T(m_data[m_position + i]) << (8 * i));
        m_position += sizeof(T);
        out = value;
        return true;
    }

    const uint8_t* m_data;
    size_t m_size;
    size_t m_position = 0;
};

} // namespace qel
