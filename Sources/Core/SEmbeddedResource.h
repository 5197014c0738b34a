#pragma once

#include <cstdint>

namespace qel {

// One entry of the static table of resources compiled into the library. The block is a little-endian
// 32-bit byte count followed by the bytes; the table ends with an entry whose block is null.
struct SEmbeddedResource {
    const char* name;
    const uint8_t* block;
};

} // namespace qel
