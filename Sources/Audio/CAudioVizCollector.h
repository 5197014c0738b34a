#pragma once

#include <cstdint>

#include "Core/CObject.h"

namespace qel {

// "audio:viz-collector": gathers what the displays show from the audio thread. The core hands it
// the pending request at the first sub-block of every host block.
class CAudioVizCollector : public CObject {
public:
    bool isActive() const { return m_active; }
    void setActive(bool active) { m_active = active; }

    // Under the audio environment's lock: takes the pending request and count, leaving none.
    void takePending(int32_t& request, int32_t& count);
    // Outside the lock, on the audio thread.
    void process(int32_t request, int32_t count);
    void reset();

    int64_t processedRequests() const { return m_processed; }

private:
    bool m_active = false;
    int32_t m_pendingRequest = 0;
    int32_t m_pendingCount = 0;
    int64_t m_processed = 0;
};

} // namespace qel
