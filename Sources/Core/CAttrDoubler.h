#pragma once

#include <vector>

#include "Core/CObject.h"

namespace qel {

// Copies its own "value" into attribute "attr" of every "target" object whenever "value" is set.
class CAttrDoubler : public CObject {
public:
    CError* init() override;
    virtual CError* onValue(const CAttrValue& value);

    static void initClass(CClassRecord& record);

private:
    std::vector<CObject*> m_targets;
    CString m_attr;
};

} // namespace qel
