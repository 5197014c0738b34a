#include "Audio/Converters/CAudioParamConverterReal.h"

#include <cmath>

namespace qel {

CError* CAudioParamConverterReal::init() {
    QEL_CHECK(CAudioParamConverter::init());
    m_decimals = getAttrInt("decimals");
    if (m_decimals > 10)
        return QEL_ERROR(
            fullName(),
            "@qelstr_CAudioParamConverterReal_init_InvalidDecimals Invalid decimals %1 specified.",
            m_decimals);
    return nullptr;
}

double CAudioParamConverterReal::textToValue(const CAudioParamInfo& info, int32_t position,
                                             const CString& text, bool* ok) const {
    double value = 0;
    bool parsed = parseNumber(text, value);
    setOk(ok, parsed);
    return parsed ? clampToRange(info, position, value) : info.minValue(position);
}

double CAudioParamConverterReal::parseLimit(const CAudioParamInfo&, int32_t, const CString& text,
                                            bool* ok) const {
    double value = 0;
    bool parsed = parseNumber(text, value);
    setOk(ok, parsed);
    return parsed ? value : 0.0;
}

void CAudioParamConverterReal::valueToText(CString& text, const CAudioParamInfo&, int32_t, double value,
                                           const CAudioParamData*, int32_t form) const {
    int32_t decimals = m_decimals;
    if (form == Compact) decimals = roundHalfAway(std::fabs(value) * 10) < 100 ? 1 : 0;
    text = formatNumber(value, decimals);
}

} // namespace qel
