#pragma once

#include <condition_variable>
#include <mutex>

namespace qel {

// A waitable event; auto-reset events release one waiter per set and clear themselves.
class CEvent {
public:
    explicit CEvent(bool manualReset = false, bool initiallySet = false)
        : m_manualReset(manualReset), m_set(initiallySet) {}
    CEvent(const CEvent&) = delete;
    CEvent& operator=(const CEvent&) = delete;

    void set();
    void reset();
    // Waits until set or until the timeout (milliseconds, negative = forever); true when set.
    bool wait(int timeoutMs = -1);

private:
    std::mutex m_mutex;
    std::condition_variable m_condition;
    bool m_manualReset;
    bool m_set;
};

} // namespace qel
