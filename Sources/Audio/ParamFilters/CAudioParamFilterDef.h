#pragma once

#include <memory>
#include <vector>

#include "Core/CObject.h"

namespace qel {

class CAudioParamFilter;

// A parameter filter declared in a process definition: its source and destination parameter names.
class CAudioParamFilterDef : public CObject {
public:
    CError* init() override;
    // A new, not yet initialised filter of this definition's kind.
    virtual std::unique_ptr<CAudioParamFilter> createFilter() const = 0;

    const std::vector<CString>& sourceNames() const { return m_sources; }
    const std::vector<CString>& destinationNames() const { return m_destinations; }

private:
    std::vector<CString> m_sources;
    std::vector<CString> m_destinations;
};

} // namespace qel
