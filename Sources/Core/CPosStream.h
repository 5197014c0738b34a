#pragma once

#include <cstdint>

#include "Core/CCheckedObject.h"
#include "Core/CError.h"

namespace qel {

// A stream with a position and a size.
class CPosStream : public virtual CCheckedObject {
public:
    virtual CError* getPosition(uint64_t& position) = 0;
    virtual CError* setPosition(uint64_t position) = 0;
    virtual CError* getSize(uint64_t& size) = 0;

    // The same values where callers work with 32-bit sizes; 2 GB and more fail.
    CError* getPositionInt32(int32_t& position);
    CError* getSizeInt(int32_t& size);
};

} // namespace qel
