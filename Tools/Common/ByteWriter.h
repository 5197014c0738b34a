#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace qel {

// Little-endian output of the binary resources the build tools write.
class CByteWriter {
public:
    std::vector<uint8_t> bytes;

    void u8(uint8_t value) { bytes.push_back(value); }
    void u16(uint16_t value) { little(value, 2); }
    void i16(int16_t value) { little(uint16_t(value), 2); }
    void u32(uint32_t value) { little(value, 4); }
    void f32(float value) {
        uint32_t raw = 0;
        std::memcpy(&raw, &value, sizeof raw);
        little(raw, 4);
    }
    void text(const std::string& value) { bytes.insert(bytes.end(), value.begin(), value.end()); }

private:
    void little(uint32_t value, int count) {
        for (int i = 0; i < count; ++i)
            bytes.push_back(uint8_t(value >> (8 * i)));
    }
};

} // namespace qel
