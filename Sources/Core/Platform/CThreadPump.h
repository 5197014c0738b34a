#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "Core/Platform/CEvent.h"

namespace qel {

// A thread's message queue with its plain timers: what a window thread's message loop is elsewhere.
// Any thread may post; only the owning thread pumps, so everything it runs runs on that thread.
class CThreadPump : public std::enable_shared_from_this<CThreadPump> {
public:
    // While one lives on a thread, that thread's posts wake their pumps once, when it ends: timers
    // that fall due together wake the thread they post to once for all of them.
    class CDeferWakes {
    public:
        CDeferWakes();
        ~CDeferWakes();
        CDeferWakes(const CDeferWakes&) = delete;
        CDeferWakes& operator=(const CDeferWakes&) = delete;
        void add(const std::shared_ptr<CThreadPump>& pump);

    private:
        std::vector<std::weak_ptr<CThreadPump>> m_pumps;
        CDeferWakes* m_outer;
    };

    using Task = std::function<void()>;
    using TimerCallback = std::function<void(uint32_t timerId)>;

    // The calling thread's pump, made on first use. Posters hold it shared, so a late post to a
    // thread that has ended goes nowhere instead of into freed memory.
    static std::shared_ptr<CThreadPump> current();

    uint64_t ownerThreadId() const { return m_ownerThreadId; }

    // Queues a task and wakes the owner; callable from any thread.
    void post(Task task);
    // Owner only: runs the tasks queued before this call in posting order, then the timers that are
    // due. Returns the number of tasks and timer calls run.
    size_t pump();
    // Owner only: blocks until a task is posted or a timer falls due, at most timeoutMs.
    void waitForWork(int timeoutMs);
    size_t pendingTasks() const;

    // Called by post() from the posting thread, under the queue's lock, after the task is queued: an
    // owner that waits on something else than waitForWork (a poll on descriptors) wakes itself there.
    // Clearing it waits for a call in progress, so what it uses may be freed afterwards.
    void setWakeHook(std::function<void()> hook);

    // Owner only: a timer firing every periodMs (at least 1) from the owner's pump; returns its id.
    uint32_t addTimer(uint32_t periodMs, TimerCallback callback);
    void killTimer(uint32_t id);
    size_t timerCount() const;
    // Owner only: milliseconds until the next timer falls due (rounded up, 0 when one is due), -1 without
    // timers.
    int msUntilNextTimer() const;

private:
    explicit CThreadPump(uint64_t ownerThreadId) : m_ownerThreadId(ownerThreadId) {}
    int64_t nextTimerDue() const;

    struct STimer {
        int64_t periodTicks = 0;
        int64_t dueTicks = 0;
        TimerCallback callback;
    };

    const uint64_t m_ownerThreadId;
    mutable std::mutex m_lock;
    std::deque<Task> m_tasks;
    CEvent m_wake{false, false};
    std::function<void()> m_wakeHook;    // under m_lock
    std::map<uint32_t, STimer> m_timers; // owner thread only
};

} // namespace qel
