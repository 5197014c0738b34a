#pragma once

#include "Audio/Viz/CAudioVizData.h"
#include "Core/CString.h"

namespace qel {

// A text for the display with a value that qualifies it (a state or a severity, by producer).
class CAudioVizDataInfo : public CAudioVizData {
public:
    CAudioVizDataInfo() : CAudioVizData(Info) {}

    CError* write(COutputStream& stream) const override;
    CError* read(CInputStream& stream) override;

    CString text;
    int32_t value = 0;
};

} // namespace qel
