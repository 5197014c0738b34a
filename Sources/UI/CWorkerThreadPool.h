#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <vector>

#include "Core/CThread.h"
#include "Core/Platform/CCriticalSection.h"

namespace qel {

// A thread that draws tiles for the window renderer: it runs one job at a time, given by the
// user-interface thread, and reports through its busy flag when the job is done.
class CWorkerThread : public CThread {
public:
    using Job = std::function<CError*()>;

    CWorkerThread();
    ~CWorkerThread() override;

    // Hands over a job and wakes the thread; the busy flag is set until it has run.
    void start(Job job);
    bool isBusy();
    // The job's error, once it is no longer busy (the caller owns it).
    CError* takeError();

protected:
    CError* run() override;

private:
    CCriticalSection m_lock{4000};
    bool m_busy = false;
    Job m_job;
    CError* m_error = nullptr;
    CEvent m_wake{false, false};
    std::atomic<bool> m_stopping{false};
};

// The process-wide pool of tile workers, shared by every window of every instance.
class CWorkerThreadPool {
public:
    static CWorkerThreadPool& instance();

    // A free worker, or a new one when none is free.
    CError* take(CWorkerThread*& worker);
    void giveBack(CWorkerThread* worker);
    // Stops every worker; none may be taken. Done before the library is unloaded.
    void clear();

private:
    CCriticalSection m_lock{50};
    std::vector<std::unique_ptr<CWorkerThread>> m_all;
    std::vector<CWorkerThread*> m_free;
};

} // namespace qel
