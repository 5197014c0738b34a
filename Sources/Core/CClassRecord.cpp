#include "Core/CClassRecord.h"

#include "Core/CObject.h"

namespace qel {

CClassRecord::AttrHandler CClassRecord::findAttrHandler(const CString& name) const {
    auto it = m_attrHandlers.find(name);
    return it == m_attrHandlers.end() ? nullptr : it->second;
}

const CClassRecord::EventEntry* CClassRecord::findEvent(const CString& name) const {
    auto it = m_events.find(name);
    return it == m_events.end() ? nullptr : &it->second;
}

void CClassRecord::initObject(CClassRecord& record) {
    record.addEvent("release-child-bridged",
                    [](CObject& object, CParamList& params) { return object.releaseChild(params); });
}

const CClassRecord& CClassRecord::generic() {
    static const CClassRecord record = [] {
        CClassRecord r;
        initObject(r);
        return r;
    }();
    return record;
}

} // namespace qel
