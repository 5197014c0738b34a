#include "Core/Platform/CUIThread.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>

#include "Core/Platform/CEvent.h"
#include "Core/Platform/CThreadPump.h"
#include "Core/Platform/PlatformSystem.h"

namespace qel {

// The sources of the loop running on this thread.
thread_local std::vector<CUIThread::SSource>* CUIThread::t_sources = nullptr;

CUIThread& CUIThread::instance() {
    // Destroyed when the library is unloaded or the process exits; nothing of it may outlive the code.
    static CUIThread thread;
    return thread;
}

CUIThread::~CUIThread() {
    // Users a host never let go of: the thread must not run on into unmapped code.
    std::lock_guard<std::mutex> guard(m_usersLock);
    if (m_thread.joinable() && !isCurrent()) stop();
}

void CUIThread::acquire() {
    CUIThread& self = instance();
    std::lock_guard<std::mutex> guard(self.m_usersLock);
    if (self.m_users++ == 0) self.start();
}

void CUIThread::release() {
    CUIThread& self = instance();
    std::lock_guard<std::mutex> guard(self.m_usersLock);
    if (self.m_users > 0 && --self.m_users == 0) self.stop();
}

void CUIThread::start() {
    const int wakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (wakeFd < 0) return; // posts fail and report it
    // Closed by whichever of the thread and stop() lets go of it last.
    std::shared_ptr<const int> wake(new int(wakeFd), [](const int* fd) {
        close(*fd);
        delete fd;
    });
    m_wake = wake;
    auto stopping = std::make_shared<std::atomic<bool>>(false);
    m_stopping = stopping;
    // Shared: the event signals after unlocking, when this frame may be gone already.
    auto started = std::make_shared<CEvent>();
    m_thread = std::thread([this, started, wake, stopping] {
        const int wakeFd = *wake;
        std::shared_ptr<CThreadPump> pump = CThreadPump::current();
        pump->setWakeHook([wakeFd] {
            // A post from the loop's own thread is seen before the loop sleeps again.
            if (t_sources) return;
            const uint64_t one = 1;
            // EAGAIN means the counter is already non-zero: the loop wakes anyway.
            [[maybe_unused]] ssize_t written = write(wakeFd, &one, sizeof one);
        });
        m_threadId.store(platform::currentThreadId(), std::memory_order_release);
        {
            std::lock_guard<std::mutex> guard(m_pumpLock);
            m_pump = pump;
        }
        started->set();
        run(wakeFd, *stopping);
    });
    started->wait();
}

void CUIThread::stop() {
    if (!m_thread.joinable()) return;
    m_stopping->store(true);
    const uint64_t one = 1;
    [[maybe_unused]] ssize_t written = write(*m_wake, &one, sizeof one);
    m_wake.reset();
    m_stopping.reset();
    // The last user may leave from a task of the thread itself, which cannot wait for itself: then
    // it ends on its own after that task.
    if (isCurrent())
        m_thread.detach();
    else
        m_thread.join();
}

void CUIThread::run(int wakeFd, const std::atomic<bool>& stopping) {
    std::shared_ptr<CThreadPump> pump = CThreadPump::current();
    std::vector<SSource> sources;
    t_sources = &sources;
    std::vector<pollfd> fds;
    std::vector<int> order;
    while (!stopping.load()) {
        // Tasks that the tasks queue (an event handed on to this thread) run in the same wake.
        for (int round = 0; round < 8 && pump->pump() > 0 && pump->pendingTasks() > 0; ++round) {
        }
        // The sources drain what their connections hold; a dispatch may remove any source.
        order.clear();
        for (const SSource& source : sources)
            order.push_back(source.fd);
        for (int fd : order) {
            auto source =
                std::find_if(sources.begin(), sources.end(), [fd](const SSource& s) { return s.fd == fd; });
            if (source == sources.end()) continue;
            std::function<void()> dispatch = source->dispatch;
            dispatch();
        }
        if (stopping.load()) break;

        fds.clear();
        fds.push_back({wakeFd, POLLIN, 0});
        for (const SSource& source : sources)
            fds.push_back({source.fd, POLLIN, 0});
        // Tasks queued on this thread (by a dispatch above, say) wake nobody: run them without sleeping.
        const int timeout = pump->pendingTasks() > 0 ? 0 : pump->msUntilNextTimer();
        int ready = poll(fds.data(), nfds_t(fds.size()), timeout);
        if (ready < 0 && errno != EINTR) platform::sleepMilliseconds(1);
        if (fds[0].revents & POLLIN) {
            uint64_t count = 0;
            [[maybe_unused]] ssize_t got = read(wakeFd, &count, sizeof count);
        }
        // A source whose descriptor failed would keep poll() from ever sleeping again.
        for (size_t i = 1; i < fds.size(); ++i)
            if (fds[i].revents & (POLLERR | POLLHUP | POLLNVAL)) {
                const int fd = fds[i].fd;
                auto source = std::find_if(sources.begin(), sources.end(),
                                           [fd](const SSource& s) { return s.fd == fd; });
                if (source == sources.end()) continue;
                std::function<void()> dispatch = source->dispatch;
                sources.erase(source);
                dispatch(); // lets the owner see the failure
            }
    }

    // Work queued before the stop still runs (deferred destruction, say); later posts fail. A
    // thread started since then owns the shared fields already.
    {
        std::lock_guard<std::mutex> guard(m_pumpLock);
        if (m_pump == pump) m_pump.reset();
    }
    pump->setWakeHook(nullptr);
    pump->pump();
    t_sources = nullptr;
    uint64_t self = platform::currentThreadId();
    m_threadId.compare_exchange_strong(self, 0, std::memory_order_acq_rel);
}

bool CUIThread::isCurrent() const {
    const uint64_t id = threadId();
    return id != 0 && id == platform::currentThreadId();
}

bool CUIThread::isRunning() const {
    std::lock_guard<std::mutex> guard(m_pumpLock);
    return m_pump != nullptr;
}

std::shared_ptr<CThreadPump> CUIThread::pump() const {
    std::lock_guard<std::mutex> guard(m_pumpLock);
    return m_pump;
}

void CUIThread::post(std::function<void()> task) {
    tryPost(std::move(task));
}

bool CUIThread::tryPost(std::function<void()> task) {
    std::shared_ptr<CThreadPump> target = pump();
    if (!target) return false;
    target->post(std::move(task));
    return true;
}

bool CUIThread::runSync(const std::function<void()>& task, int timeoutMs) {
    if (isCurrent()) {
        task();
        return true;
    }
    enum EState { kQueued, kRunning, kDone, kCancelled };
    struct SCall {
        std::mutex lock;
        std::condition_variable done;
        EState state = kQueued;
    };
    auto call = std::make_shared<SCall>();
    // The task is referenced, not copied: it is either cancelled or waited for before this returns.
    const std::function<void()>* taskRef = &task;
    if (!tryPost([call, taskRef] {
            {
                std::lock_guard<std::mutex> guard(call->lock);
                if (call->state != kQueued) return;
                call->state = kRunning;
            }
            (*taskRef)();
            std::lock_guard<std::mutex> guard(call->lock);
            call->state = kDone;
            call->done.notify_all();
        }))
        return false;

    std::unique_lock<std::mutex> guard(call->lock);
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max(timeoutMs, 0));
    if (call->done.wait_until(guard, deadline, [&] { return call->state == kDone; })) return true;
    if (call->state == kQueued) {
        call->state = kCancelled;
        return false;
    }
    call->done.wait(guard, [&] { return call->state == kDone; });
    return false;
}

void CUIThread::addSource(int fd, std::function<void()> dispatch) {
    if (!t_sources) return;
    removeSource(fd);
    t_sources->push_back({fd, std::move(dispatch)});
}

void CUIThread::removeSource(int fd) {
    if (t_sources) std::erase_if(*t_sources, [fd](const SSource& source) { return source.fd == fd; });
}

} // namespace qel
