#pragma once

#include <cstdint>

#include "Core/CInputStream.h"
#include "Core/COutputStream.h"

namespace qel {

class CAudioParam;
class CAudioParamInfo;
class CAudioParamStorage;

// The values of one group of a parameter as the parameter interface carries them: the group (9999 for
// the common value) followed by the storage block of that group. The caller holds the parameter's
// access.
CError* qelWriteParamValueBlock(COutputStream& stream, const CAudioParam& param, int32_t group);
CError* qelWriteParamValueBlock(COutputStream& stream, const CAudioParamStorage& values, int32_t sourceGroup,
                                int32_t group);
// Reads a block into values, shaped after info; float values are limited to the info's ranges and
// values that are not numbers are refused.
CError* qelReadParamValueBlock(CInputStream& stream, const CAudioParamInfo& info, int32_t& group,
                               CAudioParamStorage& values);

} // namespace qel
