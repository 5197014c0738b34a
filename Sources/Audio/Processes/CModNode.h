#pragma once

#include "Audio/Graph/CAudioProcessBase.h"
#include "Audio/Graph/CAudioProcessDefBase.h"

namespace qel {

// A junction: forwards what reaches input 0 to output 0 without touching it, so that links can meet
// and fan out.
class CModNode : public CAudioProcessBase {
public:
    void process() override { passThrough(); }
};

class CModNodeDef : public CAudioProcessDefBase {
public:
    std::unique_ptr<CAudioProcessBase> createProcess() const override { return std::make_unique<CModNode>(); }
};

} // namespace qel
