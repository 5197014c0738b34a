#include "Core/Platform/CThreadPump.h"

#include <algorithm>
#include <atomic>
#include <vector>

#include "Core/Platform/PlatformSystem.h"

namespace qel {

namespace {

int64_t ticksFromMilliseconds(uint32_t ms) {
    return int64_t(ms) * platform::performanceFrequency() / 1000;
}

thread_local CThreadPump::CDeferWakes* t_deferWakes = nullptr;

} // namespace

CThreadPump::CDeferWakes::CDeferWakes() : m_outer(t_deferWakes) {
    t_deferWakes = this;
}

CThreadPump::CDeferWakes::~CDeferWakes() {
    t_deferWakes = m_outer;
    for (const std::weak_ptr<CThreadPump>& weak : m_pumps)
        if (std::shared_ptr<CThreadPump> pump = weak.lock()) {
            std::lock_guard<std::mutex> guard(pump->m_lock);
            if (pump->m_wakeHook) pump->m_wakeHook();
        }
}

void CThreadPump::CDeferWakes::add(const std::shared_ptr<CThreadPump>& pump) {
    for (const std::weak_ptr<CThreadPump>& known : m_pumps)
        if (known.lock() == pump) return;
    m_pumps.push_back(pump);
}

std::shared_ptr<CThreadPump> CThreadPump::current() {
    thread_local std::shared_ptr<CThreadPump> pump(new CThreadPump(platform::currentThreadId()));
    return pump;
}

void CThreadPump::post(Task task) {
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_tasks.push_back(std::move(task));
        if (t_deferWakes && m_wakeHook)
            t_deferWakes->add(shared_from_this());
        else if (m_wakeHook)
            m_wakeHook();
    }
    m_wake.set();
}

size_t CThreadPump::pump() {
    std::deque<Task> tasks;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        tasks.swap(m_tasks);
    }
    size_t ran = 0;
    for (Task& task : tasks) {
        task();
        ++ran;
    }

    // Due timers are collected first: a callback may add or kill timers.
    const int64_t now = platform::performanceCounter();
    std::vector<uint32_t> due;
    for (const auto& [id, timer] : m_timers)
        if (timer.dueTicks <= now) due.push_back(id);
    for (uint32_t id : due) {
        auto timer = m_timers.find(id);
        if (timer == m_timers.end()) continue;
        // A late pump fires once and starts the next period from now, as a message loop does.
        timer->second.dueTicks =
            std::max(timer->second.dueTicks + timer->second.periodTicks, now + timer->second.periodTicks);
        TimerCallback callback = timer->second.callback;
        callback(id);
        ++ran;
    }
    return ran;
}

int64_t CThreadPump::nextTimerDue() const {
    int64_t due = INT64_MAX;
    for (const auto& [id, timer] : m_timers)
        due = std::min(due, timer.dueTicks);
    return due;
}

int CThreadPump::msUntilNextTimer() const {
    const int64_t due = nextTimerDue();
    if (due == INT64_MAX) return -1;
    const int64_t untilDue = due - platform::performanceCounter();
    if (untilDue <= 0) return 0;
    const int64_t frequency = platform::performanceFrequency();
    return int(std::min<int64_t>((untilDue * 1000 + frequency - 1) / frequency, INT32_MAX));
}

void CThreadPump::waitForWork(int timeoutMs) {
    if (pendingTasks()) return;
    const int dueMs = msUntilNextTimer();
    if (dueMs >= 0) timeoutMs = timeoutMs < 0 ? dueMs : std::min(timeoutMs, dueMs);
    if (timeoutMs != 0) m_wake.wait(timeoutMs);
}

void CThreadPump::setWakeHook(std::function<void()> hook) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_wakeHook = std::move(hook);
}

size_t CThreadPump::pendingTasks() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_tasks.size();
}

uint32_t CThreadPump::addTimer(uint32_t periodMs, TimerCallback callback) {
    static std::atomic<uint32_t> lastId{0};
    uint32_t id = ++lastId;
    STimer& timer = m_timers[id];
    timer.periodTicks = ticksFromMilliseconds(std::max<uint32_t>(periodMs, 1));
    timer.dueTicks = platform::performanceCounter() + timer.periodTicks;
    timer.callback = std::move(callback);
    return id;
}

void CThreadPump::killTimer(uint32_t id) {
    m_timers.erase(id);
}

size_t CThreadPump::timerCount() const {
    return m_timers.size();
}

} // namespace qel
