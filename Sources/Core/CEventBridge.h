#pragma once

#include "Core/CAttrValue.h"
#include "Core/CError.h"

namespace qel {

// Reaches the thread an object belongs to: takes a packed event and runs it there later.
class CEventBridge {
public:
    virtual ~CEventBridge() = default;
    virtual CError* postParams(const CParamList& params) = 0;
};

struct SThreadAffinity {
    uint64_t threadId = 0;
    CEventBridge* bridge = nullptr;
};

} // namespace qel
