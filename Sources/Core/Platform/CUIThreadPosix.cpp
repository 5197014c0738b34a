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

CUIThread& CUIThread::instance() {
    // Never destroyed: a host may still hold users while the process exits.
    static CUIThread* thread = new CUIThread();
    return *thread;
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
    m_wakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (m_wakeFd < 0) return; // posts fail and report it
    m_stopping = false;
    CEvent started;
    m_thread = std::thread([this, &started] {
        std::shared_ptr<CThreadPump> pump = CThreadPump::current();
        const int wakeFd = m_wakeFd;
        pump->setWakeHook([wakeFd] {
            const uint64_t one = 1;
            // EAGAIN means the counter is already non-zero: the loop wakes anyway.
            [[maybe_unused]] ssize_t written = write(wakeFd, &one, sizeof one);
        });
        m_threadId.store(platform::currentThreadId(), std::memory_order_release);
        {
            std::lock_guard<std::mutex> guard(m_pumpLock);
            m_pump = pump;
        }
        started.set();
        run();
    });
    started.wait();
}

void CUIThread::stop() {
    if (!m_thread.joinable()) return;
    m_stopping = true;
    const uint64_t one = 1;
    [[maybe_unused]] ssize_t written = write(m_wakeFd, &one, sizeof one);
    m_thread.join();
    close(m_wakeFd);
    m_wakeFd = -1;
}

void CUIThread::run() {
    std::shared_ptr<CThreadPump> pump = CThreadPump::current();
    std::vector<pollfd> fds;
    std::vector<int> order;
    while (!m_stopping.load()) {
        pump->pump();
        // The sources drain what their connections hold; a dispatch may remove any source.
        order.clear();
        for (const SSource& source : m_sources)
            order.push_back(source.fd);
        for (int fd : order) {
            auto source = std::find_if(m_sources.begin(), m_sources.end(),
                                       [fd](const SSource& s) { return s.fd == fd; });
            if (source == m_sources.end()) continue;
            std::function<void()> dispatch = source->dispatch;
            dispatch();
        }
        if (m_stopping.load()) break;

        fds.clear();
        fds.push_back({m_wakeFd, POLLIN, 0});
        for (const SSource& source : m_sources)
            fds.push_back({source.fd, POLLIN, 0});
        // Posted tasks and expired timers are handled before sleeping: a task may have been queued by
        // a dispatch above, and then the wake-up descriptor is already readable.
        const int timeout = pump->msUntilNextTimer();
        int ready = poll(fds.data(), nfds_t(fds.size()), timeout);
        if (ready < 0 && errno != EINTR) platform::sleepMilliseconds(1);
        if (fds[0].revents & POLLIN) {
            uint64_t count = 0;
            [[maybe_unused]] ssize_t got = read(m_wakeFd, &count, sizeof count);
        }
        // A source whose descriptor failed would keep poll() from ever sleeping again.
        for (size_t i = 1; i < fds.size(); ++i)
            if (fds[i].revents & (POLLERR | POLLHUP | POLLNVAL)) {
                const int fd = fds[i].fd;
                auto source = std::find_if(m_sources.begin(), m_sources.end(),
                                           [fd](const SSource& s) { return s.fd == fd; });
                if (source == m_sources.end()) continue;
                std::function<void()> dispatch = source->dispatch;
                m_sources.erase(source);
                dispatch(); // lets the owner see the failure
            }
    }

    // Work queued before the stop still runs (deferred destruction, say); later posts fail.
    {
        std::lock_guard<std::mutex> guard(m_pumpLock);
        m_pump.reset();
    }
    pump->setWakeHook(nullptr);
    pump->pump();
    m_sources.clear();
    m_threadId.store(0, std::memory_order_release);
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
    removeSource(fd);
    m_sources.push_back({fd, std::move(dispatch)});
}

void CUIThread::removeSource(int fd) {
    std::erase_if(m_sources, [fd](const SSource& source) { return source.fd == fd; });
}

} // namespace qel
