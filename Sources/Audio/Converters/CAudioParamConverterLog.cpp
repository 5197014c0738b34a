#include "Audio/Converters/CAudioParamConverterLog.h"

#include <cmath>

namespace qel {

namespace {

constexpr double kEpsilon = 2.220446049250313e-16;

} // namespace

CError* CAudioParamConverterLog::init() {
    QEL_CHECK(CAudioParamConverter::init());
    m_scalePower = getAttrDouble("scale-power", 1.0);
    m_scaleThreshold = getAttrDouble("scale-threshold", -1.0);
    if (m_scalePower <= 0)
        return QEL_ERROR(
            fullName(),
            "@qelstr_CAudioParamConverterLog_init_InvalidScalePower Invalid 'scale-power' attribute "
            "value %1 specified.",
            getAttr("scale-power"));
    if (m_scaleThreshold > 1.0)
        return QEL_ERROR(
            fullName(),
            "@qelstr_CAudioParamConverterLog_init_InvalidScaleThreshold Invalid 'scale-threshold' "
            "attribute value %1 specified.",
            getAttr("scale-threshold"));
    return nullptr;
}

bool CAudioParamConverterLog::isCurved() const {
    return std::fabs(m_scalePower - 1.0) > kEpsilon;
}

double CAudioParamConverterLog::fromNormalized(const CAudioParamInfo& info, int32_t position,
                                               double normalized) const {
    double lo = info.minValue(position), hi = info.maxValue(position);
    double t = m_scaleThreshold;
    if (t > 0 && normalized >= t) return std::exp((normalized - t) / (1 - t) * std::log(hi));
    double m = t > 0 ? normalized / t : normalized;
    if (isCurved()) m = std::pow(m, 1.0 / m_scalePower);
    return std::exp(std::log(lo) + m * std::log((t > 0 ? 1.0 : hi) / lo));
}

double CAudioParamConverterLog::toNormalized(const CAudioParamInfo& info, int32_t position,
                                             double value) const {
    double lo = info.minValue(position), hi = info.maxValue(position);
    double t = m_scaleThreshold;
    if (t > 0 && value >= 1.0) return std::log(value) / std::log(hi) * (1 - t) + t;
    double m = std::log(value / lo) / std::log((t > 0 ? 1.0 : hi) / lo);
    if (isCurved()) m = std::pow(m, m_scalePower);
    return t > 0 ? m * t : m;
}

} // namespace qel
