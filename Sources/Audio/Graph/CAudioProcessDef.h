#pragma once

#include "Audio/Graph/CAudioProcessDefBase.h"

namespace qel {

// "audio:process-def": a sub-graph of process, link and bypass-state definitions.
class CAudioProcessDef : public CAudioProcessDefBase {
public:
    CError* init() override;
    std::unique_ptr<CAudioProcessBase> createProcess() const override;

    // Children not marked "is-outoforder" are chained output 0 -> input 0 in declaration order.
    bool isAutoLinks() const { return m_isAutoLinks; }

private:
    bool m_isAutoLinks = false;
};

} // namespace qel
