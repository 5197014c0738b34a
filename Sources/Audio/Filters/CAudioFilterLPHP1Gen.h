#pragma once

#include "Audio/Filters/CAudioFilterGen.h"

namespace qel {

// "audio:fltgen-lphp1": a first-order low-pass ("type" 0) or high-pass ("type" 1) at "freq", -3 dB
// there. Nothing is generated at or above half the sample rate, nor for a frequency that is not positive.
class CAudioFilterLPHP1Gen : public CAudioFilterGen {
public:
    enum EType : int32_t { LowPass = 0, HighPass = 1 };

    CError* init() override;

    void listSlots(std::vector<CString>& names) const override;
    int32_t maxSectionCount() const override;
    void generate(const CAudioFilterParams& params, double sampleRate,
                  CBiquadSectionList& sections) const override;

    int32_t type() const { return m_type; }

private:
    int32_t m_type = LowPass;
};

} // namespace qel
