#pragma once

#include "Audio/Params/CAudioParamInfo.h"
#include "Core/CObject.h"

namespace qel {

// The definition of one audio parameter ("audio:param"); run-time parameters refer to its info.
class CAudioParamDef : public CObject {
public:
    CError* init() override;

    const CAudioParamInfo& info() const { return m_info; }

private:
    CError* readDescription();

    CAudioParamInfo m_info;
};

} // namespace qel
