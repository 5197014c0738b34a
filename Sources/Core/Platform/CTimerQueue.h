#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <thread>

namespace qel {

// The process-wide high-precision timer thread: periodic callbacks run on that one thread, in the
// order they fall due.
class CTimerQueue {
public:
    using Callback = std::function<void()>;

    // Made, with its thread, on first use; lives as long as the process. Null when the thread could
    // not be started.
    static CTimerQueue* instance();
    // Stops and joins the thread, timers kept; the next instance() starts it again. A plug-in's code
    // must not run on after the host unloads it.
    static void shutdown();

    // Calls callback after dueMs and then every periodMs (at least 1); returns the timer's id.
    uint32_t add(uint32_t dueMs, uint32_t periodMs, Callback callback);
    // Once this returns the callback is not running and will not run again, except when called from
    // the callback itself.
    void remove(uint32_t id);
    size_t timerCount() const;

private:
    CTimerQueue();
    void threadMain();

    struct STimer {
        std::chrono::steady_clock::duration period;
        std::chrono::steady_clock::time_point due;
        Callback callback;
    };

    mutable std::mutex m_lock;
    std::condition_variable m_changed;
    std::condition_variable m_callbackDone;
    std::map<uint32_t, STimer> m_timers;
    uint32_t m_lastId = 0;
    uint32_t m_runningId = 0;
    bool m_stopping = false;
    std::thread::id m_threadId;
    std::thread m_thread;
};

} // namespace qel
