#pragma once

#include <vector>

#include "Core/CObject.h"

namespace qel {

// "audio:process-link": joins an output port of one process of a container to an input port of
// another; "*" names the container's own input (as source) or output (as destination).
class CAudioProcessLinkDef : public CObject {
public:
    static constexpr const char* kBoundary = "*";

    CError* init() override;

    const CString& srcName() const { return m_srcName; }
    int32_t srcPort() const { return m_srcPort; }
    const CString& dstName() const { return m_dstName; }
    int32_t dstPort() const { return m_dstPort; }
    // Bypass states in which the link is active; empty means always.
    const std::vector<int32_t>& stateIds() const { return m_stateIds; }
    // The state in which the link carries nothing; -1 when none.
    int32_t bypassStateId() const { return m_bypassStateId; }

private:
    CError* parseEnd(const char* attr, CString& name, int32_t& port);

    CString m_srcName;
    int32_t m_srcPort = 0;
    CString m_dstName;
    int32_t m_dstPort = 0;
    std::vector<int32_t> m_stateIds;
    int32_t m_bypassStateId = -1;
};

} // namespace qel
