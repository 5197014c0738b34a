#pragma once

#include <cstdint>

namespace qel {

class CAudioParamInfo;
class CAudioParamStorage;

// A user-interface object that shows or edits one parameter through an interface client.
class CParamInterfaceParamListener {
public:
    virtual ~CParamInterfaceParamListener() = default;
    // The description (null when the audio side has none) and the common value.
    virtual void onParamInfo(int32_t handle, const CAudioParamInfo* info,
                             const CAudioParamStorage* common) = 0;
    // The values of one group; values holds them as its group 0.
    virtual void onParamValues(int32_t handle, int32_t group, const CAudioParamStorage& values) = 0;
};

} // namespace qel
