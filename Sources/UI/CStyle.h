#pragma once

#include "Core/CObject.h"

namespace qel {

// "ui:style": attributes shared by views that name it ("font", "text-color", "text-align", ...).
// A style may name a base style of its own.
class CStyle : public CObject {
public:
    CError* initComplete() override;
    // The attribute of this style or of its bases; empty when none has it.
    CString lookup(const CString& name) const;

private:
    CStyle* m_base = nullptr;
};

} // namespace qel
