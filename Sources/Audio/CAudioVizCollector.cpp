#include "Audio/CAudioVizCollector.h"

namespace qel {

void CAudioVizCollector::takePending(int32_t& request, int32_t& count) {
    request = m_pendingRequest;
    count = m_active ? m_pendingCount : 0;
    m_pendingRequest = 0;
    m_pendingCount = 0;
}

void CAudioVizCollector::process(int32_t request, int32_t count) {
    if (request || count) ++m_processed;
}

void CAudioVizCollector::reset() {
    m_pendingRequest = 0;
    m_pendingCount = 0;
}

} // namespace qel
