#pragma once

#include <cstdint>

#include "Core/CString.h"
#include "Core/SEmbeddedResource.h"

namespace qel {

// Name -> bytes of every embedded resource; filled once at start-up.
class CResourceRegistry {
public:
    static void registerTable(const SEmbeddedResource* table);
    static bool find(const CString& name, const uint8_t*& bytes, uint32_t& size);
    static void clear();
};

} // namespace qel
