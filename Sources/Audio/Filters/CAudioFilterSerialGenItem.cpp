#include "Audio/Filters/CAudioFilterSerialGenItem.h"

#include <cmath>

#include "Audio/Filters/CAudioFilterGen.h"
#include "Audio/Filters/CAudioFilterParams.h"
#include "Audio/Filters/CAudioFilterSerialGen.h"

namespace qel {

CError* CAudioFilterSerialGenItem::init() {
    QEL_CHECK(CObject::init());
    if (!dynamic_cast<CAudioFilterSerialGen*>(parent()))
        return QEL_ERROR(fullName(),
                         "@qelstr_CAudioFilterSerialGenItem_init_InvalidParent CAudioFilterSerialGen "
                         "class parent expected.");
    QEL_CHECK(parseList("adjust", m_adjust));
    QEL_CHECK(parseList("adjust-pow", m_adjustPow));
    return nullptr;
}

CError* CAudioFilterSerialGenItem::initComplete() {
    QEL_CHECK(CObject::initComplete());
    const CString path = getAttr("fltgen");
    QEL_CHECK(findObjectChecked(path, m_generator));
    // A generator still being built contains this item; running it would recurse for ever.
    if (m_generator->state() < Completed) {
        m_generator = nullptr;
        return QEL_ERROR(fullName(),
                         "@qelstr_CAudioFilterSerialGenItem_init_RecursiveGen Filter generator '%1' contains "
                         "this item.",
                         path);
    }
    return nullptr;
}

CError* CAudioFilterSerialGenItem::parseList(const CString& attrName, std::vector<double>& values) const {
    values.clear();
    const CString text = getAttr(attrName);
    if (text.trimmed().isEmpty()) return nullptr;
    // Empty elements keep their position (CString::split would drop them).
    for (size_t start = 0; start <= text.length();) {
        size_t end = text.find(',', start);
        if (end == CString::npos) end = text.length();
        const CString element = text.substr(start, end - start).trimmed();
        double value = 1.0;
        if (!element.isEmpty() && !element.parseDouble(value))
            return QEL_ERROR(fullName(),
                             "@qelstr_CAudioFilterSerialGenItem_init_InvalidAdjust Invalid '%1' value '%2' "
                             "specified.",
                             attrName, text);
        values.push_back(value);
        start = end + 1;
    }
    return nullptr;
}

void CAudioFilterSerialGenItem::adjust(CAudioFilterParams& params) const {
    for (int32_t k = 0; k < params.count(); ++k) {
        double value = params.value(k);
        if (size_t(k) < m_adjustPow.size()) value = std::pow(value, m_adjustPow[size_t(k)]);
        if (size_t(k) < m_adjust.size()) value *= m_adjust[size_t(k)];
        params.setValue(k, value);
    }
}

} // namespace qel
