#include "Audio/Filters/CAudioFilterLPHP1Gen.h"

#include <cmath>
#include <numbers>

#include "Audio/Filters/FilterDesign.h"

namespace qel {

namespace {

constexpr double kMinus3dB = 0.7079457843841379;
constexpr double kDefaultFreq = 1000.0;

} // namespace

CError* CAudioFilterLPHP1Gen::init() {
    QEL_CHECK(CAudioFilterGen::init());
    if (!readType(HighPass, m_type))
        return QEL_ERROR(fullName(),
                         "@qelstr_CAudioFilterLPHP1Gen_init_InvalidType Invalid filter type '%1' specified.",
                         getAttr("type"));
    return nullptr;
}

void CAudioFilterLPHP1Gen::listSlots(std::vector<CString>& names) const {
    addSlot(names, "freq");
}

int32_t CAudioFilterLPHP1Gen::maxSectionCount() const {
    return 1;
}

void CAudioFilterLPHP1Gen::generate(const CAudioFilterParams& params, double sampleRate,
                                    CBiquadSectionList& sections) const {
    const double f = params.get("freq", kDefaultFreq);
    if (!(f > 0.0) || sampleRate < 2.0 * f) return;
    const double w = 2.0 * std::numbers::pi * f / sampleRate;
    const double cw = std::cos(w);
    const double sw = std::sin(w);
    const double k = 2.0 - cw;
    // p = k - sqrt(k^2 - 1) and 1 - p without the cancellation near k = 1 that low frequencies (the
    // DC filter) would suffer: k - 1 = 1 - cos w = 2 sin^2(w / 2).
    const double sh = std::sin(w / 2.0);
    const double km1 = 2.0 * sh * sh;
    const double root = std::sqrt(km1 * (k + 1.0));
    const double p = 1.0 / (k + root);
    const double oneMinusP = (km1 + root) / (k + root);
    SBiquadSection section;
    if (m_type == LowPass) {
        if (!qelBiquadFromRaw(oneMinusP, 0.0, 0.0, 1.0, -p, 0.0, section)) return;
    } else {
        // Scaled so that the magnitude at w is exactly -3 dB.
        const double num = (p - p * cw) * (p - p * cw) + p * p * sw * sw;
        const double den = (1.0 - p * cw) * (1.0 - p * cw) + p * p * sw * sw;
        const double g = kMinus3dB / std::sqrt(num / den);
        if (!qelBiquadFromRaw(g * p, -g * p, 0.0, 1.0, -p, 0.0, section)) return;
    }
    sections.append(section);
}

} // namespace qel
