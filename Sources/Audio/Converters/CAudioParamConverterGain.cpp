#include "Audio/Converters/CAudioParamConverterGain.h"

#include <cmath>

namespace qel {

namespace {

// 20 / ln 10: decibels per neper of amplitude.
constexpr double kDecibelsPerNeper = 8.685889638065037;

} // namespace

double CAudioParamConverterGain::fromDecibels(double decibels) {
    return std::exp(decibels / kDecibelsPerNeper);
}

CError* CAudioParamConverterGain::init() {
    QEL_CHECK(CAudioParamConverterLog::init());
    m_decimals = getAttrInt("decimals");
    if (m_decimals > 10)
        return QEL_ERROR(fullName(),
                         "@qelstr_CAudioParamConverterGain_init_InvalidDecimals Invalid 'decimals' attribute "
                         "value %1 specified.",
                         getAttr("decimals"));
    return nullptr;
}

double CAudioParamConverterGain::textToValue(const CAudioParamInfo& info, int32_t position,
                                             const CString& text, bool* ok) const {
    double decibels = 0;
    bool parsed = parseNumber(text, decibels);
    setOk(ok, parsed);
    return parsed ? clampToRange(info, position, fromDecibels(decibels)) : info.minValue(position);
}

double CAudioParamConverterGain::parseLimit(const CAudioParamInfo&, int32_t, const CString& text,
                                            bool* ok) const {
    double decibels = 0;
    bool parsed = parseNumber(text, decibels);
    setOk(ok, parsed);
    return fromDecibels(parsed ? decibels : 0.0);
}

void CAudioParamConverterGain::valueToText(CString& text, const CAudioParamInfo&, int32_t, double value,
                                           const CAudioParamData*, int32_t form) const {
    double decibels = std::log(value) * kDecibelsPerNeper;
    int32_t decimals = m_decimals;
    if (form == Precise)
        decimals = 2;
    else if (form == Compact)
        decimals = roundHalfAway(std::fabs(decibels) * 10) < 100 ? 1 : 0;
    text = formatNumber(decibels, decimals);
}

double CAudioParamConverterGain::normalizedToDisplay(const CAudioParamInfo& info, int32_t position,
                                                     double normalized) const {
    return std::log(fromNormalized(info, position, normalized)) * kDecibelsPerNeper;
}

} // namespace qel
