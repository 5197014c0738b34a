#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace qel {

class CThreadPump;

// The process-wide user-interface thread owned by the library. Hosts call their editor idle hook
// rarely and from odd threads, so windows, their events and the render timers live here instead: the
// loop sleeps in one poll() on the display connection, a wake-up descriptor for posted tasks and the
// next plain timer of its pump.
class CUIThread {
public:
    static CUIThread& instance(); // process-wide
    // Reference counted users: the thread starts with the first acquire and is stopped and joined when
    // the last user releases it (a plug-in may be unloaded after that).
    static void acquire();
    static void release();

    bool isCurrent() const; // called on the UI thread?
    bool isRunning() const;
    void post(std::function<void()> task); // any thread
    // As post(); false when the thread is not running (the task is dropped).
    bool tryPost(std::function<void()> task);
    // Runs task on the UI thread (at once when called on it) and waits at most timeoutMs.
    // false on timeout: a task not yet started is cancelled; one already running is waited for, so
    // what it references stays valid, and false is still returned.
    bool runSync(const std::function<void()>& task, int timeoutMs);
    std::shared_ptr<CThreadPump> pump() const; // the UI thread's pump (CThreadPump::current() on it)
    uint64_t threadId() const { return m_threadId.load(std::memory_order_acquire); }

    // UI thread only: a descriptor the loop also waits on. dispatch runs on every pass of the loop,
    // readable or not, since a connection library may already hold events it read during a reply; it
    // must not block. A source is dropped when the thread stops.
    void addSource(int fd, std::function<void()> dispatch);
    void removeSource(int fd);

    ~CUIThread();

private:
    CUIThread() = default;
    void start();
    void stop();
    void run(int wakeFd, const std::atomic<bool>& stopping);

    struct SSource {
        int fd = -1;
        std::function<void()> dispatch;
    };

    static thread_local std::vector<SSource>* t_sources;

    std::mutex m_usersLock; // acquire/release: start and stop; guards the fields up to m_stopping
    int m_users = 0;
    std::thread m_thread;
    std::shared_ptr<const int> m_wake; // the running thread's wake-up descriptor
    std::shared_ptr<std::atomic<bool>> m_stopping;
    std::atomic<uint64_t> m_threadId{0};
    mutable std::mutex m_pumpLock;
    std::shared_ptr<CThreadPump> m_pump; // under m_pumpLock; null while stopped
};

} // namespace qel
