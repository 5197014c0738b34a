#pragma once

#include "Audio/Filters/CAudioFilterGen.h"

namespace qel {

// "audio:fltgen-magnus": a peaking section at "freq" with "gain" at the peak and a bandwidth of "bw"
// octaves between the edges where the gain is halfway in decibels. "type" 0 is the bilinear (cookbook)
// design, whose peaks narrow towards Nyquist; "type" 1 keeps the analogue prototype's shape up to
// Nyquist, its edges as far apart (in radians) as two frequencies "bw" octaves apart around "freq".
// Nothing is generated for a frequency outside (0, fs / 2).
class CAudioFilterMagnusGen : public CAudioFilterGen {
public:
    enum EType : int32_t { PeakingBilinear = 0, PeakingMatched = 1 };

    CError* init() override;

    void listSlots(std::vector<CString>& names) const override;
    int32_t maxSectionCount() const override;
    void generate(const CAudioFilterParams& params, double sampleRate,
                  CBiquadSectionList& sections) const override;

    int32_t type() const { return m_type; }

private:
    int32_t m_type = PeakingBilinear;
};

} // namespace qel
