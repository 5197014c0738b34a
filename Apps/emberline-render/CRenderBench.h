#pragma once

#include "CRenderOptions.h"
#include "CTestSignal.h"

namespace qel {

// Real-time factor per oversampling setting: seconds of audio rendered per second of CPU time, for
// the stereo arrangement and for every buffer of the plug-in as hosts without arrangements hand over;
// the median of several runs. A plug-in without the oversampling setting is measured once as it is.
class CRenderBench {
public:
    // Returns the process exit code.
    static int run(const CRenderOptions& options);

private:
    static bool hasOversampling(const CRenderOptions& options);
    // Median seconds of CPU for the noise through a session with the setting ("" for none); negative on
    // failure (reported).
    static double measure(const CRenderOptions& options, const char* setting, const SSignal& noise);
    static double measureOnce(const CRenderOptions& options, const char* setting, const SSignal& noise);
};

} // namespace qel
