#include "Audio/Graph/CAudioProcessBypassStateDef.h"

#include <algorithm>

namespace qel {

namespace {

bool inRanges(const CAudioProcessBypassStateDef::SRanges& ranges, double value) {
    for (const auto& [low, high] : ranges)
        if (value >= low && value <= high) return true;
    return false;
}

} // namespace

bool CAudioProcessBypassStateDef::parseRanges(const CString& text, SRanges& ranges) {
    ranges.clear();
    for (const CString& group : text.split(';'))
        for (const CString& piece : group.split(' ')) {
            const size_t colon = piece.find(':');
            double low = 0, high = 0;
            if (colon == CString::npos) {
                if (!piece.parseDouble(low)) return false;
                high = low;
            } else if (!piece.substr(0, colon).parseDouble(low) ||
                       !piece.substr(colon + 1).parseDouble(high)) {
                return false;
            }
            ranges.emplace_back(std::min(low, high), std::max(low, high));
        }
    return !ranges.empty();
}

CError* CAudioProcessBypassStateDef::init() {
    QEL_CHECK(CObject::init());
    m_id = getAttrInt("id");
    m_param = getAttr("param");
    if (m_param.trimmed().isEmpty())
        return QEL_ERROR(
            fullName(),
            "@qelstr_CAudioProcessBypassStateDef_init_InvalidParam Invalid parameter name specified.");
    const CString range = hasAttr("range") ? getAttr("range") : getAttr("value");
    if (!parseRanges(range, m_ranges))
        return QEL_ERROR(
            fullName(),
            "@qelstr_CAudioProcessBypassStateDef_init_InvalidRange Invalid 'range' attribute value '%1' "
            "specified.",
            range);
    m_andParam = getAttr("and-param");
    if (!m_andParam.isEmpty()) {
        const CString andRange = hasAttr("and-range") ? getAttr("and-range") : getAttr("and-value");
        if (!parseRanges(andRange, m_andRanges))
            return QEL_ERROR(
                fullName(),
                "@qelstr_CAudioProcessBypassStateDef_init_InvalidAndRange Invalid 'and-range' attribute "
                "value '%1' specified.",
                andRange);
    }
    m_isInverted = getAttrBool("is-inverted");
    return nullptr;
}

bool CAudioProcessBypassStateDef::isActive(double value, double andValue) const {
    bool active = inRanges(m_ranges, value);
    if (!m_andParam.isEmpty()) active = active && inRanges(m_andRanges, andValue);
    return active != m_isInverted;
}

} // namespace qel
