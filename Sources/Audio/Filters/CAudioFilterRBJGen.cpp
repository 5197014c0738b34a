#include "Audio/Filters/CAudioFilterRBJGen.h"

#include <cmath>
#include <numbers>

#include "Audio/Filters/FilterDesign.h"

namespace qel {

namespace {

constexpr double kDefaultFreq = 1000.0;
constexpr double kDefaultGain = 1.0;
constexpr double kDefaultWidth = 1.0;

} // namespace

CError* CAudioFilterRBJGen::init() {
    QEL_CHECK(CAudioFilterGen::init());
    if (!readType(PeakingMatched, m_type))
        return QEL_ERROR(fullName(),
                         "@qelstr_CAudioFilterRBJGen_init_InvalidType Invalid filter type '%1' specified.",
                         getAttr("type"));
    m_isQ = getAttrBool("is-q");
    m_isType2 = getAttrBool("is-type2");
    m_isInverted = getAttrBool("is-inverted");
    m_isGainQ = getAttrBool("is-gain-q");
    return nullptr;
}

bool CAudioFilterRBJGen::usesGain() const {
    return !m_isGainQ &&
           (m_type == Peaking || m_type == LowShelf || m_type == HighShelf || m_type == PeakingMatched);
}

void CAudioFilterRBJGen::listSlots(std::vector<CString>& names) const {
    addSlot(names, "freq");
    if (usesGain() || m_isGainQ) addSlot(names, "gain");
    if (!m_isGainQ) addSlot(names, "bw");
}

int32_t CAudioFilterRBJGen::maxSectionCount() const {
    return 1;
}

void CAudioFilterRBJGen::generate(const CAudioFilterParams& params, double sampleRate,
                                  CBiquadSectionList& sections) const {
    const double w0 = 2.0 * std::numbers::pi * params.get("freq", kDefaultFreq) / sampleRate;
    if (!(w0 > 0.0 && w0 < std::numbers::pi)) return;
    const double gain = usesGain() ? params.get("gain", kDefaultGain) : 1.0;
    // The bandwidth in octaves, the Q, the shelf slope or the pole radius, by the flags and the type.
    const double width = m_isGainQ ? params.get("gain", kDefaultWidth) : params.get("bw", kDefaultWidth);
    SBiquadSection section;
    if (design(w0, gain, width, section)) sections.append(section);
}

bool CAudioFilterRBJGen::design(double w0, double gain, double width, SBiquadSection& out) const {
    const bool qMode = m_isQ || m_isGainQ;
    const bool isShelf = m_type == LowShelf || m_type == HighShelf;
    const double c = std::cos(w0);
    const double s = std::sin(w0);
    const double A = std::sqrt(gain);
    double alpha;
    double shelf;
    if (isShelf && m_isType2) {
        alpha = s / 2.0 * std::sqrt((A + 1.0 / A) * (1.0 / width - 1.0) + 2.0);
        shelf = 2.0 * std::sqrt(A) * alpha;
    } else if (qMode) {
        alpha = s / (2.0 * width);
        shelf = s * std::sqrt(A) / width;
    } else {
        alpha = qelBandwidthAlpha(w0, width);
        shelf = 2.0 * std::sqrt(A) * alpha;
    }
    const double sign = m_isInverted ? -1.0 : 1.0;
    switch (m_type) {
    case LowPass:
        return qelBiquadFromRaw(sign * (1.0 - c) / 2.0, sign * (1.0 - c), sign * (1.0 - c) / 2.0, 1.0 + alpha,
                                -2.0 * c, 1.0 - alpha, out);
    case HighPass:
        return qelBiquadFromRaw(sign * (1.0 + c) / 2.0, sign * -(1.0 + c), sign * (1.0 + c) / 2.0,
                                1.0 + alpha, -2.0 * c, 1.0 - alpha, out);
    case BandPassPeak:
        return qelBiquadFromRaw(alpha, 0.0, -alpha, 1.0 + alpha, -2.0 * c, 1.0 - alpha, out);
    case BandPassSkirt:
        return qelBiquadFromRaw(s / 2.0, 0.0, -s / 2.0, 1.0 + alpha, -2.0 * c, 1.0 - alpha, out);
    case Notch:
        return qelBiquadFromRaw(1.0, -2.0 * c, 1.0, 1.0 + alpha, -2.0 * c, 1.0 - alpha, out);
    case AllPass:
        return qelBiquadFromRaw(1.0 - alpha, -2.0 * c, 1.0 + alpha, 1.0 + alpha, -2.0 * c, 1.0 - alpha, out);
    case Peaking:
        return qelPeakingBilinear(w0, alpha, gain, out);
    case LowShelf:
        return qelBiquadFromRaw(A * ((A + 1.0) - (A - 1.0) * c + shelf),
                                2.0 * A * ((A - 1.0) - (A + 1.0) * c),
                                A * ((A + 1.0) - (A - 1.0) * c - shelf), (A + 1.0) + (A - 1.0) * c + shelf,
                                -2.0 * ((A - 1.0) + (A + 1.0) * c), (A + 1.0) + (A - 1.0) * c - shelf, out);
    case HighShelf:
        return qelBiquadFromRaw(A * ((A + 1.0) + (A - 1.0) * c + shelf),
                                -2.0 * A * ((A - 1.0) + (A + 1.0) * c),
                                A * ((A + 1.0) + (A - 1.0) * c - shelf), (A + 1.0) - (A - 1.0) * c + shelf,
                                2.0 * ((A - 1.0) - (A + 1.0) * c), (A + 1.0) - (A - 1.0) * c - shelf, out);
    case AllPassRadius: {
        const double r = width;
        return qelBiquadFromRaw(r * r, -2.0 * c * r, 1.0, 1.0, -2.0 * c * r, r * r, out);
    }
    case PeakingMatched:
        return qelPeakingNyquistMatched(w0, qMode ? w0 / width : qelOctaveWidth(w0, width), gain, out);
    }
    return false;
}

} // namespace qel
