#pragma once

#include <cstdint>
#include <vector>

#include "Core/CInputStream.h"

namespace qel {

// What "update-registry" carries.
struct SRegistryState {
    bool isMaster = false;
    CString category;
    int32_t currentProgram = 0;
    std::vector<CString> programNames;
};

// A user-interface object that shows a registry's programs or exchanges presets with it.
class CParamInterfaceRegistryListener {
public:
    virtual ~CParamInterfaceRegistryListener() = default;
    virtual void onRegistryState(int32_t handle, const SRegistryState& state) = 0;
    // An answer to a preset or bank request: data is positioned after the handle, at the echoed
    // request fields.
    virtual CError* onRegistryData(int32_t handle, CInputStream& data) {
        (void)handle;
        (void)data;
        return nullptr;
    }
};

} // namespace qel
