#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Core/CResourceRegistry.h"

namespace qel::test {

// Serves byte blocks under resource names for the life of the object; the registry is cleared after.
class MemoryResources {
public:
    MemoryResources() = default;
    MemoryResources(const MemoryResources&) = delete;
    MemoryResources& operator=(const MemoryResources&) = delete;
    ~MemoryResources() { CResourceRegistry::clear(); }

    // Replaces every registered resource with this one block.
    void set(const std::string& name, const std::vector<uint8_t>& bytes) {
        m_name = name;
        m_block.resize(4 + bytes.size());
        const uint32_t size = uint32_t(bytes.size());
        for (int i = 0; i < 4; ++i)
            m_block[size_t(i)] = uint8_t(size >> (8 * i));
        std::copy(bytes.begin(), bytes.end(), m_block.begin() + 4);
        m_table[0] = {m_name.c_str(), m_block.data()};
        CResourceRegistry::clear();
        CResourceRegistry::registerTable(m_table);
    }

    // The bytes of a resource of a table, without its count.
    static std::vector<uint8_t> bytesOf(const SEmbeddedResource* table, const std::string& name) {
        for (; table->block; ++table)
            if (name == table->name) {
                const uint32_t size = uint32_t(table->block[0]) | uint32_t(table->block[1]) << 8 |
                                      uint32_t(table->block[2]) << 16 | uint32_t(table->block[3]) << 24;
                return {table->block + 4, table->block + 4 + size};
            }
        return {};
    }

private:
    std::string m_name;
    std::vector<uint8_t> m_block;
    SEmbeddedResource m_table[2] = {{nullptr, nullptr}, {nullptr, nullptr}};
};

} // namespace qel::test
