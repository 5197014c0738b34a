#pragma once

#include "Audio/Filters/CAudioFilterGen.h"

namespace qel {

// "audio:fltgen-rbj": one second-order section from the Audio EQ Cookbook formulas.
// Attributes: "type" (EType); "is-q": the "bw" slot is the Q instead of a bandwidth in octaves;
// "is-gain-q": the Q comes from the "gain" slot (Q mode forced, the gain is then 1); "is-inverted":
// low-pass and high-pass with negated numerator; "is-type2": the shelves take their slope slot as the
// cookbook's shelf slope S (1 is the steepest slope without overshoot) instead of octaves or Q.
// Nothing is generated for a frequency outside (0, fs / 2) or a setting with no finite design.
class CAudioFilterRBJGen : public CAudioFilterGen {
public:
    enum EType : int32_t {
        LowPass = 0,
        HighPass = 1,
        BandPassPeak = 2,  // 0 dB peak
        BandPassSkirt = 3, // constant skirt gain
        Notch = 4,
        AllPass = 5,
        Peaking = 6,
        LowShelf = 7,
        HighShelf = 8,
        AllPassRadius = 9, // pole radius r from the Q slot
        // A peaking section that keeps the analogue shape up to Nyquist (CAudioFilterMagnusGen type 1);
        // in Q mode the edges are freq / Q apart.
        PeakingMatched = 10,
    };

    CError* init() override;

    void listSlots(std::vector<CString>& names) const override;
    int32_t maxSectionCount() const override;
    void generate(const CAudioFilterParams& params, double sampleRate,
                  CBiquadSectionList& sections) const override;

    int32_t type() const { return m_type; }

private:
    bool usesGain() const;
    bool design(double w0, double gain, double width, SBiquadSection& out) const;

    int32_t m_type = LowPass;
    bool m_isQ = false;
    bool m_isType2 = false;
    bool m_isInverted = false;
    bool m_isGainQ = false;
};

} // namespace qel
