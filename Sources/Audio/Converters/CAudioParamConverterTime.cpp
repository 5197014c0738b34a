#include "Audio/Converters/CAudioParamConverterTime.h"

#include <cmath>

namespace qel {

CError* CAudioParamConverterTime::init() {
    QEL_CHECK(CAudioParamConverter::init());
    m_isLog = getAttrBool("is-log");
    m_isExact = getAttrBool("is-exact");
    m_isPrecise = getAttrBool("is-precise") ? 1 : 0;
    m_scale = getAttrDouble("scale");
    if (!(m_scale > 0))
        return QEL_ERROR(fullName(),
                         "@qelstr_CAudioParamConverterTime_init_InvalidScale Invalid scale %1 specified.",
                         CString::fromDouble(m_scale, 4));
    return nullptr;
}

double CAudioParamConverterTime::textToValue(const CAudioParamInfo& info, int32_t position,
                                             const CString& text, bool* ok) const {
    double time = 0;
    bool parsed = parseNumber(text, time);
    setOk(ok, parsed);
    return parsed ? clampToRange(info, position, time * m_scale) : info.minValue(position);
}

double CAudioParamConverterTime::parseLimit(const CAudioParamInfo&, int32_t, const CString& text,
                                            bool* ok) const {
    double time = 0;
    bool parsed = parseNumber(text, time);
    setOk(ok, parsed);
    return parsed ? time * m_scale : 0.0;
}

void CAudioParamConverterTime::valueToText(CString& text, const CAudioParamInfo&, int32_t, double value,
                                           const CAudioParamData*, int32_t form) const {
    double shown = value / m_scale;
    double rounded = roundHalfAway(std::fabs(shown));
    if (form == Compact) {
        // Three characters at most: a star marks thousands.
        if (rounded < 10)
            text = formatNumber(shown, 1);
        else if (rounded >= 100)
            text = formatNumber(shown * 0.001, 1) + "*";
        else
            text = formatNumber(shown, 0);
        return;
    }
    int32_t decimals = m_isPrecise;
    if (m_isExact || rounded < 10)
        decimals += 2;
    else if (rounded < 100)
        decimals += 1;
    text = formatNumber(shown, decimals);
}

double CAudioParamConverterTime::fromNormalized(const CAudioParamInfo& info, int32_t position,
                                                double normalized) const {
    double lo = info.minValue(position), hi = info.maxValue(position);
    if (m_isLog) return std::exp(std::log(lo) + normalized * std::log(hi / lo));
    if (m_isExact) return lo + (hi - lo) * normalized;
    return lo + (hi - lo) * normalized * normalized;
}

double CAudioParamConverterTime::toNormalized(const CAudioParamInfo& info, int32_t position,
                                              double value) const {
    double lo = info.minValue(position), hi = info.maxValue(position);
    if (m_isLog) return std::log(value / lo) / std::log(hi / lo);
    if (m_isExact) return (value - lo) / (hi - lo);
    return std::sqrt(std::fabs((value - lo) / (hi - lo)));
}

double CAudioParamConverterTime::normalizedToDisplay(const CAudioParamInfo& info, int32_t position,
                                                     double normalized) const {
    return fromNormalized(info, position, normalized) / m_scale;
}

} // namespace qel
