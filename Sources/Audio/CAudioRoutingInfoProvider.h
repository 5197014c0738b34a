#pragma once

#include <cstdint>
#include <vector>

#include "Core/CCheckedObject.h"
#include "Core/CString.h"

namespace qel {

// Labels of the channel groups, for the registry and the routing user interface.
struct SAudioRoutingInfo {
    std::vector<CString> inputNames;
    std::vector<CString> groupLabels;
    std::vector<CString> groupNames;
};

class CAudioRoutingInfoProvider : public CCheckedObject {
public:
    virtual void getRoutingInfo(SAudioRoutingInfo& out, int32_t options) = 0;
};

} // namespace qel
