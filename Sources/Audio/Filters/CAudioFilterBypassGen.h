#pragma once

#include "Audio/Filters/CAudioFilterGen.h"

namespace qel {

// "audio:fltgen-bypass": no sections, so the filter passes its input through.
class CAudioFilterBypassGen : public CAudioFilterGen {
public:
    void listSlots(std::vector<CString>& names) const override;
    int32_t maxSectionCount() const override;
    void generate(const CAudioFilterParams& params, double sampleRate,
                  CBiquadSectionList& sections) const override;
};

} // namespace qel
