#include "Core/Platform/CTimerQueue.h"

#include <algorithm>
#include <optional>

#include "Core/Platform/CThreadPump.h"
#include <system_error>

namespace qel {

namespace {

std::mutex g_instanceLock;
// Never destroyed: timers may be removed by objects released during process exit.
CTimerQueue* g_instance = nullptr;

} // namespace

CTimerQueue* CTimerQueue::instance() {
    std::lock_guard<std::mutex> instanceGuard(g_instanceLock);
    if (!g_instance) g_instance = new CTimerQueue;
    std::lock_guard<std::mutex> guard(g_instance->m_lock);
    if (g_instance->m_thread.joinable()) return g_instance;
    try {
        g_instance->m_thread = std::thread([queue = g_instance] { queue->threadMain(); });
    } catch (const std::system_error&) {
        return nullptr;
    }
    g_instance->m_threadId = g_instance->m_thread.get_id();
    return g_instance;
}

void CTimerQueue::shutdown() {
    std::lock_guard<std::mutex> instanceGuard(g_instanceLock);
    if (!g_instance || !g_instance->m_thread.joinable()) return;
    {
        std::lock_guard<std::mutex> guard(g_instance->m_lock);
        g_instance->m_stopping = true;
        g_instance->m_changed.notify_all();
    }
    g_instance->m_thread.join();
    {
        std::lock_guard<std::mutex> guard(g_instance->m_lock);
        g_instance->m_stopping = false;
        g_instance->m_threadId = {};
        // Kept while timers remain: their owners still remove them through it.
        if (!g_instance->m_timers.empty()) return;
    }
    delete g_instance;
    g_instance = nullptr;
}

CTimerQueue::CTimerQueue() = default;

uint32_t CTimerQueue::add(uint32_t dueMs, uint32_t periodMs, Callback callback) {
    std::lock_guard<std::mutex> guard(m_lock);
    uint32_t id = ++m_lastId;
    STimer& timer = m_timers[id];
    timer.period = std::chrono::milliseconds(std::max<uint32_t>(periodMs, 1));
    timer.due = std::chrono::steady_clock::now() + std::chrono::milliseconds(dueMs);
    // Timers of one period without a first delay tick together (on whole periods of the clock), so
    // the thread and whoever it posts to wake once for all of them.
    if (dueMs == 0)
        timer.due = std::chrono::steady_clock::time_point((timer.due.time_since_epoch() / timer.period + 1) *
                                                          timer.period);
    timer.callback = std::move(callback);
    m_changed.notify_all();
    return id;
}

void CTimerQueue::remove(uint32_t id) {
    std::unique_lock<std::mutex> guard(m_lock);
    m_timers.erase(id);
    if (std::this_thread::get_id() == m_threadId) return;
    m_callbackDone.wait(guard, [&] { return m_runningId != id; });
}

size_t CTimerQueue::timerCount() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_timers.size();
}

void CTimerQueue::threadMain() {
    std::unique_lock<std::mutex> guard(m_lock);
    // The callbacks of one wake-up post their ticks with one wake of each receiving thread.
    std::optional<CThreadPump::CDeferWakes> burst;
    auto endBurst = [&] {
        if (!burst) return false;
        guard.unlock();
        burst.reset();
        guard.lock();
        return true;
    };
    while (!m_stopping) {
        auto next = std::min_element(m_timers.begin(), m_timers.end(), [](const auto& a, const auto& b) {
            return a.second.due < b.second.due;
        });
        if (next == m_timers.end()) {
            if (endBurst()) continue;
            m_changed.wait(guard);
            continue;
        }
        // A copy: the timer may be removed while we wait.
        const auto due = next->second.due;
        if (due > std::chrono::steady_clock::now()) {
            if (endBurst()) continue;
            m_changed.wait_until(guard, due);
            continue;
        }
        if (!burst) burst.emplace();
        // Skipped periods are not made up: a late callback fires once.
        const auto now = std::chrono::steady_clock::now();
        next->second.due += next->second.period;
        if (next->second.due <= now) next->second.due = now + next->second.period;
        Callback callback = next->second.callback;
        m_runningId = next->first;
        guard.unlock();
        callback();
        guard.lock();
        m_runningId = 0;
        m_callbackDone.notify_all();
    }
    endBurst();
}

} // namespace qel
