#pragma once

#include <cstdint>

#include "Core/CCheckedObject.h"

namespace qel {

// The host side of the host-exposed parameters: the plug-in core implements it for its binding.
class CAudioExtParamHostBridge : public CCheckedObject {
public:
    virtual void hostAutomate(int32_t index, double normalized) = 0;
};

} // namespace qel
