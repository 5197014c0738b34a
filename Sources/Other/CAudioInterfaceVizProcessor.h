#pragma once

#include "Core/CInputStream.h"

namespace qel {

// Takes the visualisation messages an audio interface client receives.
class CAudioInterfaceVizProcessor {
public:
    virtual ~CAudioInterfaceVizProcessor() = default;
    // data is positioned after the command name of a "viz-data" message.
    virtual CError* onVizData(CInputStream& data) = 0;
    virtual void onStartViz() = 0;
    virtual void onStopViz() = 0;
    virtual void onClearClient() = 0;
};

} // namespace qel
