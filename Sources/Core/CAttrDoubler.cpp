#include "Core/CAttrDoubler.h"

namespace qel {

void CAttrDoubler::initClass(CClassRecord& record) {
    CClassRecord::initObject(record);
    record.addAttrHandler("value", [](CObject& object, const CString&, const CAttrValue& value) {
        return static_cast<CAttrDoubler&>(object).onValue(value);
    });
}

CError* CAttrDoubler::init() {
    QEL_CHECK(CObject::init());
    m_attr = getAttr("attr");
    m_targets.clear();
    for (const CString& path : getAttr("target").split(' ')) {
        CObject* target = findObject(path);
        if (!target)
            return QEL_ERROR(fullName(),
                             "@qelstr_CAttrDoubler_init_TargetNotFound Target object '%1' not found.", path);
        m_targets.push_back(target);
    }
    if (m_targets.empty())
        return QEL_ERROR(fullName(), "@qelstr_CAttrDoubler_init_NoTargets No target objects specified.");
    return nullptr;
}

CError* CAttrDoubler::onValue(const CAttrValue& value) {
    CString text = value.text();
    for (CObject* target : m_targets)
        QEL_CHECK(target->setAttr(m_attr, text, true));
    return nullptr;
}

} // namespace qel
