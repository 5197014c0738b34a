#include "Audio/Filters/CAudioFilterFIRLPGen.h"

#include "Audio/DSP/FIRDesign.h"

namespace qel {

namespace {

constexpr double kDefaultLength = 0.001;
constexpr double kDefaultFreq = 1000.0;
constexpr double kDefaultBeta = 8.0;

} // namespace

void CAudioFilterFIRLPGen::listSlots(std::vector<CString>& names) const {
    addSlot(names, "length");
    addSlot(names, "freq");
    addSlot(names, "beta");
}

bool CAudioFilterFIRLPGen::generateKernel(const CAudioFilterParams& params, double sampleRate, bool fixedRate,
                                          std::vector<double>& taps, int32_t& delay) const {
    const double rate = designRate(sampleRate, fixedRate);
    const double halfWidth = qelLowPassHalfWidth(rate, params.get("length", kDefaultLength));
    if (!(halfWidth > 0.0)) return false;
    return qelDesignKaiserLowPass(rate, params.get("freq", kDefaultFreq), halfWidth,
                                  params.get("beta", kDefaultBeta), taps, delay);
}

} // namespace qel
