#include "Core/CResourceRegistry.h"

#include <cstring>
#include <map>

namespace qel {

namespace {

struct SResourceBytes {
    const uint8_t* bytes;
    uint32_t size;
};

std::map<CString, SResourceBytes>& registry() {
    static std::map<CString, SResourceBytes> resources;
    return resources;
}

} // namespace

void CResourceRegistry::registerTable(const SEmbeddedResource* table) {
    for (; table && table->block; ++table) {
        uint32_t size;
        std::memcpy(&size, table->block, 4);
        registry()[CString(table->name)] = {table->block + 4, size};
    }
}

bool CResourceRegistry::find(const CString& name, const uint8_t*& bytes, uint32_t& size) {
    auto it = registry().find(name);
    if (it == registry().end()) return false;
    bytes = it->second.bytes;
    size = it->second.size;
    return true;
}

void CResourceRegistry::clear() {
    registry().clear();
}

} // namespace qel
