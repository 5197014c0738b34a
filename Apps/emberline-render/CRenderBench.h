#pragma once

#include "CRenderOptions.h"
#include "CTestSignal.h"

namespace qel {

// Real-time factor per oversampling setting: seconds of audio rendered per second of CPU time, for
// the stereo arrangement and for every buffer of the plug-in as hosts without arrangements hand over.
class CRenderBench {
public:
    // Returns the process exit code.
    static int run(const CRenderOptions& options);

private:
    static double measure(const CRenderOptions& options, const char* setting, const SSignal& noise);
};

} // namespace qel
