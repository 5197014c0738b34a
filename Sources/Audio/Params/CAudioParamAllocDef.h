#pragma once

#include "Core/CObject.h"

namespace qel {

// Binds a parameter to a slot of the process that owns this definition ("audio:param-alloc").
class CAudioParamAllocDef : public CObject {
public:
    CError* init() override;

    const CString& paramName() const { return m_paramName; }
    int32_t index() const { return m_index; }
    bool useAllGroups() const { return m_useAllGroups; }
    bool useAllElements() const { return m_useAllElements; }
    bool isSmoothUpdate() const { return m_isSmoothUpdate; }

private:
    CString m_paramName;
    int32_t m_index = 0;
    bool m_useAllGroups = false;
    bool m_useAllElements = false;
    bool m_isSmoothUpdate = false;
};

} // namespace qel
