#pragma once

#include "Audio/Graph/CAudioProcessBase.h"

namespace qel {

// The edge of a sub-graph: links from "*" start at an input boundary and links to "*" end at an
// output boundary. The owner moves blocks across it.
class CAudioProcessBoundary : public CAudioProcessBase {
public:
    explicit CAudioProcessBoundary(SAudioProcessEnv& env) { m_env = &env; }

    void process() override {}
    void send(int32_t port, int32_t channel, SAudioBlock* block) { deliver(port, channel, block); }
    SAudioBlock* take(int32_t port, int32_t channel) { return gather(port, channel); }
    void drop() { releaseInputs(); }
    void setFormat(const SAudioFormat& format) { m_format = format; }
};

} // namespace qel
