#include "Core/Platform/CEvent.h"

#include <chrono>

namespace qel {

void CEvent::set() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_set = true;
    }
    if (m_manualReset)
        m_condition.notify_all();
    else
        m_condition.notify_one();
}

void CEvent::reset() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_set = false;
}

bool CEvent::wait(int timeoutMs) {
    std::unique_lock<std::mutex> lock(m_mutex);
    if (timeoutMs < 0)
        m_condition.wait(lock, [this] { return m_set; });
    else if (!m_condition.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return m_set; }))
        return false;
    if (!m_manualReset) m_set = false;
    return true;
}

} // namespace qel
