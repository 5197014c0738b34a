#pragma once

#include <vector>

#include "Audio/Graph/CAudioProcessBase.h"
#include "Audio/Graph/CAudioProcessDefBase.h"

namespace qel {

// The end of the graph: keeps the blocks that reach it until the next block, for the host.
class CModOutput : public CAudioProcessBase {
public:
    ~CModOutput() override;

    CError* prepare(const SAudioFormat& format) override;
    void reset() override;
    void process() override;

    // Null when nothing reached the channel.
    const SAudioBlock* block(int32_t channel) const;

private:
    void dropKept();

    std::vector<SAudioBlock*> m_kept;
};

class CModOutputDef : public CAudioProcessDefBase {
public:
    std::unique_ptr<CAudioProcessBase> createProcess() const override {
        return std::make_unique<CModOutput>();
    }
};

} // namespace qel
