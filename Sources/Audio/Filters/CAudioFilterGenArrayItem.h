#pragma once

#include "Core/CObject.h"

namespace qel {

class CAudioFilterGen;

// "audio:fltgen-array-item": the generator ("fltgen") an array selects for the "type" value "index".
class CAudioFilterGenArrayItem : public CObject {
public:
    CError* init() override;
    CError* initComplete() override;

    int32_t index() const { return m_index; }
    const CAudioFilterGen* generator() const { return m_generator; }

private:
    int32_t m_index = 0;
    CAudioFilterGen* m_generator = nullptr;
};

} // namespace qel
