#include "Audio/Filters/CAudioFilterFIRHilbGen.h"

#include "Audio/DSP/FIRDesign.h"

namespace qel {

namespace {

constexpr double kDefaultLength = 0.05;

} // namespace

void CAudioFilterFIRHilbGen::listSlots(std::vector<CString>& names) const {
    addSlot(names, "length");
}

bool CAudioFilterFIRHilbGen::generateKernel(const CAudioFilterParams& params, double sampleRate,
                                            bool fixedRate, std::vector<double>& taps, int32_t& delay) const {
    return qelDesignHilbert(designRate(sampleRate, fixedRate), params.get("length", kDefaultLength), taps,
                            delay);
}

} // namespace qel
