#pragma once

#include "Audio/Filters/CAudioFilterFIRGen.h"

namespace qel {

// "audio:fltgen-firlp": the Kaiser-windowed sinc low-pass of the resampler stages. Slots, in order:
// "length" (seconds from the centre tap to either end at the design rate, 0.001 when absent), "freq"
// (cutoff in Hz at the design rate, 1000 when absent) and "beta" (Kaiser shape, 1 to 350, 8 when absent).
// The half-width is the length in samples rounded up to a multiple of 4, which keeps every 2x resampler
// chain up to 8x at whole host samples of delay. With a fixed design rate the kernel's cutoff is
// "freq" / 44100 of the rate it runs at: a 2x stage filter with "freq" just below 11025 Hz cuts just
// below the lower rate's Nyquist frequency, whatever the host rate.
class CAudioFilterFIRLPGen : public CAudioFilterFIRGen {
public:
    void listSlots(std::vector<CString>& names) const override;
    bool generateKernel(const CAudioFilterParams& params, double sampleRate, bool fixedRate,
                        std::vector<double>& taps, int32_t& delay) const override;
};

} // namespace qel
