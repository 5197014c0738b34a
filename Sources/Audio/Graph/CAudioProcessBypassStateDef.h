#pragma once

#include <utility>
#include <vector>

#include "Core/CObject.h"

namespace qel {

// "audio:process-bypass-state": a named condition on parameters under which processes and links of a
// container are bypassed.
class CAudioProcessBypassStateDef : public CObject {
public:
    using SRanges = std::vector<std::pair<double, double>>;

    CError* init() override;

    int32_t id() const { return m_id; }
    const CString& param() const { return m_param; }
    const CString& andParam() const { return m_andParam; }
    bool isInverted() const { return m_isInverted; }
    // Whether the parameter values (the second is ignored without "and-param") make the state active.
    bool isActive(double value, double andValue) const;

    // "lo:hi" ranges (or single values) separated by spaces or ";"; false for anything else.
    static bool parseRanges(const CString& text, SRanges& ranges);

private:
    int32_t m_id = 0;
    CString m_param;
    SRanges m_ranges;
    CString m_andParam;
    SRanges m_andRanges;
    bool m_isInverted = false;
};

} // namespace qel
