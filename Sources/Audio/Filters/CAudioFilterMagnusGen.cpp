#include "Audio/Filters/CAudioFilterMagnusGen.h"

#include <numbers>

#include "Audio/Filters/FilterDesign.h"

namespace qel {

namespace {

constexpr double kDefaultFreq = 1000.0;
constexpr double kDefaultGain = 1.0;
constexpr double kDefaultOctaves = 1.0;

} // namespace

CError* CAudioFilterMagnusGen::init() {
    QEL_CHECK(CAudioFilterGen::init());
    if (!readType(PeakingMatched, m_type))
        return QEL_ERROR(fullName(),
                         "@qelstr_CAudioFilterMagnusGen_init_InvalidType Invalid filter type '%1' specified.",
                         getAttr("type"));
    return nullptr;
}

void CAudioFilterMagnusGen::listSlots(std::vector<CString>& names) const {
    addSlot(names, "freq");
    addSlot(names, "gain");
    addSlot(names, "bw");
}

int32_t CAudioFilterMagnusGen::maxSectionCount() const {
    return 1;
}

void CAudioFilterMagnusGen::generate(const CAudioFilterParams& params, double sampleRate,
                                     CBiquadSectionList& sections) const {
    const double w0 = 2.0 * std::numbers::pi * params.get("freq", kDefaultFreq) / sampleRate;
    const double gain = params.get("gain", kDefaultGain);
    const double octaves = params.get("bw", kDefaultOctaves);
    if (!(w0 > 0.0 && w0 < std::numbers::pi)) return;
    SBiquadSection section;
    const bool designed = m_type == PeakingBilinear
                              ? qelPeakingBilinear(w0, qelBandwidthAlpha(w0, octaves), gain, section)
                              : qelPeakingNyquistMatched(w0, qelOctaveWidth(w0, octaves), gain, section);
    if (designed) sections.append(section);
}

} // namespace qel
