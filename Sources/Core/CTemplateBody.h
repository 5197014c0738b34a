#pragma once

#include <cstdint>

#include "Core/CInputStream.h"
#include "Core/CStringTable.h"

namespace qel {

// A serialised subtree held by a run-time template: instantiation re-parses these bytes.
struct CTemplateBody {
    CString classTag;
    bool borrowed = false; // bytes live in static data
    const uint8_t* bytes = nullptr;
    uint32_t size = 0;
    CByteBuffer owned;
    CStringTableRef strings;
};

} // namespace qel
