#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace qel::test {

// Hand assembly of compiled definition data for loader tests: strings are numbered as given, the
// pool is written sorted, nodes are appended with the little-endian helpers.
struct CompiledTree {
    std::vector<std::string> strings; // strings[0] must be ""
    std::vector<uint8_t> nodes;

    void u8(uint8_t v) { nodes.push_back(v); }
    void u16(uint16_t v) {
        for (int i = 0; i < 2; ++i)
            nodes.push_back(uint8_t(v >> (8 * i)));
    }
    void u32(uint32_t v) {
        for (int i = 0; i < 4; ++i)
            nodes.push_back(uint8_t(v >> (8 * i)));
    }
    uint16_t s(const std::string& text) const {
        return uint16_t(std::find(strings.begin(), strings.end(), text) - strings.begin());
    }
    // An element header: kind 0 and its attributes; children follow with child()/node bytes.
    void element(std::vector<std::pair<std::string, std::string>> attrs) {
        u8(0);
        u16(uint16_t(attrs.size()));
        for (auto& [name, value] : attrs) {
            u16(s(name));
            u16(s(value));
        }
    }
    void child(const std::string& tag, const std::string& name) {
        u16(s(tag));
        u16(s(name));
    }

    std::vector<uint8_t> bytes() const {
        std::vector<std::string> sorted = strings;
        std::sort(sorted.begin(), sorted.end());
        std::vector<uint8_t> pool;
        std::vector<uint32_t> offsetOfSorted;
        for (const std::string& text : sorted) {
            offsetOfSorted.push_back(uint32_t(pool.size()));
            pool.insert(pool.end(), text.begin(), text.end());
            pool.push_back(0);
        }
        uint32_t indexBytes = uint32_t(4 * strings.size());
        std::vector<uint8_t> out;
        auto put = [&out](uint32_t v) {
            for (int i = 0; i < 4; ++i)
                out.push_back(uint8_t(v >> (8 * i)));
        };
        put(uint32_t(strings.size()));
        put(indexBytes + uint32_t(pool.size()));
        for (const std::string& text : strings)
            put(indexBytes +
                offsetOfSorted[size_t(std::find(sorted.begin(), sorted.end(), text) - sorted.begin())]);
        out.insert(out.end(), pool.begin(), pool.end());
        put(0); // root lead word
        out.insert(out.end(), nodes.begin(), nodes.end());
        return out;
    }

    // The resource block: a 32-bit count, then the bytes.
    std::vector<uint8_t> block() const {
        std::vector<uint8_t> data = bytes(), out;
        uint32_t n = uint32_t(data.size());
        for (int i = 0; i < 4; ++i)
            out.push_back(uint8_t(n >> (8 * i)));
        out.insert(out.end(), data.begin(), data.end());
        return out;
    }
};

} // namespace qel::test
