#pragma once

#include "Audio/Filters/CAudioFilterFIRGen.h"

namespace qel {

// "audio:fltgen-firhilb": the Blackman-windowed Hilbert transformer that makes the quadrature copy of a
// signal. Slot "length": the whole kernel in seconds (0.05 when absent); the kernel follows the design
// rate, so without a fixed design rate its delay is floor(rate * length / 2) samples.
class CAudioFilterFIRHilbGen : public CAudioFilterFIRGen {
public:
    void listSlots(std::vector<CString>& names) const override;
    bool generateKernel(const CAudioFilterParams& params, double sampleRate, bool fixedRate,
                        std::vector<double>& taps, int32_t& delay) const override;
};

} // namespace qel
