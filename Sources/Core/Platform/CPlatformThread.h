#pragma once

#include <cstdint>

namespace qel {

// One OS thread running a plain function. The framework's CThread builds its stop event and naming on top.
class CPlatformThread {
public:
    using Entry = void (*)(void* argument);

    CPlatformThread() = default;
    CPlatformThread(const CPlatformThread&) = delete;
    CPlatformThread& operator=(const CPlatformThread&) = delete;
    ~CPlatformThread(); // joins a thread still running

    // Returns 0 or the system error code.
    int start(Entry entry, void* argument);
    // Asks for time-critical scheduling; silently stays at normal priority where that is not permitted.
    void setTimeCritical();
    void join();
    bool isStarted() const { return m_started; }

private:
    uint64_t m_handle = 0;
    bool m_started = false;
};

} // namespace qel
