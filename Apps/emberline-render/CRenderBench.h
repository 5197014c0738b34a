#pragma once

#include "CRenderOptions.h"

namespace qel {

// Real-time factor per oversampling setting: seconds of audio rendered per second of CPU time.
class CRenderBench {
public:
    // Returns the process exit code.
    static int run(const CRenderOptions& options);
};

} // namespace qel
