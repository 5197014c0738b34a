#pragma once

#include <cstdint>
#include <vector>

#include "Audio/Filters/CAudioFilterGen.h"

namespace qel {

class CAudioFilterGenArray;

// The base of the generators that design FIR kernels instead of sections. A FIR generator appends no
// sections, so a recursive filter process that selects one passes its signal through.
class CAudioFilterFIRGen : public CAudioFilterGen {
public:
    // The design rate of a kernel with a fixed design rate: the kernel then has the same taps at every
    // sample rate, so its delay in samples of the rate it runs at never changes.
    static constexpr double kFixedDesignRate = 44100.0;

    int32_t maxSectionCount() const final;
    void generate(const CAudioFilterParams& params, double sampleRate,
                  CBiquadSectionList& sections) const final;

    // Designs the kernel for these values: 2M + 1 taps for the indices -M..M with the centre at taps[M],
    // and delay = M, the group delay in samples. sampleRate is the rate the filter runs at; with
    // fixedRate the kernel is designed at kFixedDesignRate instead. False, with taps and delay untouched,
    // when the values give no kernel (the filter then passes its signal through).
    virtual bool generateKernel(const CAudioFilterParams& params, double sampleRate, bool fixedRate,
                                std::vector<double>& taps, int32_t& delay) const = 0;

    static double designRate(double sampleRate, bool fixedRate) {
        return fixedRate ? kFixedDesignRate : sampleRate;
    }

    // The FIR generator array selects for params.type(); null when no item matches or the item's
    // generator designs sections.
    static const CAudioFilterFIRGen* select(const CAudioFilterGenArray& array,
                                            const CAudioFilterParams& params);
};

} // namespace qel
