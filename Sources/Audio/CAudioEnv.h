#pragma once

#include <cstdint>

#include "Core/CObject.h"
#include "Core/Platform/CCriticalSection.h"

namespace qel {

// "audio:audio-env": the instance's audio state shared by the core, the processes and the parameter
// collector. The lock guards every field and the collector's pending changes; the audio thread takes
// it only for pointer swaps.
class CAudioEnv : public CObject {
public:
    CCriticalSection& lock() { return m_lock; }

    bool resumed = false;
    double sampleRate = 44100.0;
    uint32_t latency = 0;
    double currentTime = 0;
    double blockEndTime = 0;
    // Changes of one parameter and group between two blocks reach the audio side as one.
    bool mergeChanges = true;

private:
    CCriticalSection m_lock{4000};
};

} // namespace qel
