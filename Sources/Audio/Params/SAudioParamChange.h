#pragma once

#include <cstdint>

#include "Core/CUpdateNotifier.h"

namespace qel {

class CAudioParam;
class CAudioParamData;
class CAudioParamChangeRecord;

// One change of a parameter's values: elementCount whole elements from firstElement of one group
// (kCommonGroup for the common value). Non-float values are item indices into pool.
struct SAudioParamChange {
    int32_t group = 0;
    int32_t firstElement = 0;
    int32_t elementCount = 1;
    const double* values = nullptr; // elementCount × element size
    const CAudioParamData* pool = nullptr;
    uint32_t flags = 0;
    // Who made the change, so that it can recognise its own echo.
    const void* cause = nullptr;
};

// What the collector's listeners are told after a change was applied.
struct SAudioParamUpdate : SUpdateRecord {
    static constexpr uint64_t kKind = 0x70617261; // "para"

    CAudioParam* param = nullptr;
    const SAudioParamChange* change = nullptr;
    CAudioParamChangeRecord* record = nullptr;
};

// Collects the values before and after changes, for undo.
class CAudioParamChangeRecord {
public:
    virtual ~CAudioParamChangeRecord() = default;
    virtual void recordBefore(const CAudioParam& param, const SAudioParamChange& change) = 0;
    virtual void recordAfter(const CAudioParam& param, const SAudioParamChange& change) = 0;
};

} // namespace qel
