#pragma once

#include <vector>

#include "Core/CObject.h"

namespace qel {

class CAudioFilterGen;
class CAudioFilterParams;

// "audio:fltgen-serial-item": one stage of a serial generator: the generator named by "fltgen", run on
// the value slots adjusted element by element: value k becomes value_k ^ "adjust-pow"[k] * "adjust"[k]
// (comma-separated lists; a missing or empty element is 1.0).
class CAudioFilterSerialGenItem : public CObject {
public:
    CError* init() override;
    CError* initComplete() override;

    const CAudioFilterGen* generator() const { return m_generator; }
    void adjust(CAudioFilterParams& params) const;

private:
    CError* parseList(const CString& attrName, std::vector<double>& values) const;

    CAudioFilterGen* m_generator = nullptr;
    std::vector<double> m_adjust;
    std::vector<double> m_adjustPow;
};

} // namespace qel
