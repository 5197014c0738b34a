#include "Core/CTimerQueued.h"

#include <algorithm>
#include <cmath>
#include <map>

#include "Core/Platform/CThreadPump.h"
#include "Core/Platform/CTimerQueue.h"
#include "Core/Platform/PlatformSystem.h"

namespace qel {

namespace {

// Plain timers by id, so that a tick finds its object only while it still has that timer.
struct SThreadTimers {
    CCriticalSection lock;
    std::map<uint32_t, CTimerQueued*> timers;
};

SThreadTimers& threadTimers() {
    static SThreadTimers state;
    return state;
}

constexpr double kSameInterval = 2.220446049250313e-16;
constexpr double kRepostAfterSeconds = 2.0;

void firePlainTimer(uint32_t id) {
    SThreadTimers& state = threadTimers();
    CCriticalSectionGuard guard(state.lock);
    auto timer = state.timers.find(id);
    if (timer != state.timers.end()) qelErrLog(timer->second->emitEvent("tick", true));
}

} // namespace

void CTimerQueued::initClass(CClassRecord& record) {
    CClassRecord::initObject(record);
    record.addAttrHandler("fps", [](CObject& object, const CString&, const CAttrValue& value) {
        return static_cast<CTimerQueued&>(object).onFps(value);
    });
    record.addAttrHandler("interval", [](CObject& object, const CString&, const CAttrValue& value) {
        return static_cast<CTimerQueued&>(object).onInterval(value);
    });
    record.addAttrHandler("is-high-precision", [](CObject& object, const CString&, const CAttrValue& value) {
        return static_cast<CTimerQueued&>(object).onHighPrecision(value);
    });
    record.addEvent("sys-tick",
                    [](CObject& object) { return static_cast<CTimerQueued&>(object).onSysTick(); });
}

CError* CTimerQueued::createChildTimer(CObject& owner, const CString& tag, const CString& fps,
                                       const CString& handler, CTimerQueued*& timer) {
    const std::map<CString, CString> overrides{{"fps", fps}};
    QEL_CHECK(owner.createChild(tag, "timer", false, &overrides, timer));
    owner.listenObject(timer, "tick", handler);
    return nullptr;
}

CTimerQueued::~CTimerQueued() {
    removeTimer();
}

CError* CTimerQueued::onFps(const CAttrValue& value) {
    return setInterval(1.0 / std::min(std::max(value.toDouble(), 0.001), 1000.0));
}

CError* CTimerQueued::onInterval(const CAttrValue& value) {
    return setInterval(std::max(value.toDouble(), 0.001));
}

CError* CTimerQueued::setInterval(double interval) {
    if (std::fabs(interval - m_interval) <= kSameInterval) return nullptr;
    m_interval = interval;
    CError* error = initTimer();
    return error ? QEL_PASS_CTX(error, fullName()) : nullptr;
}

CError* CTimerQueued::onHighPrecision(const CAttrValue& value) {
    bool highPrecision = value.toBool();
    if (highPrecision == m_isHighPrecision) return nullptr;
    m_isHighPrecision = highPrecision;
    CError* error = initTimer();
    return error ? QEL_PASS_CTX(error, fullName()) : nullptr;
}

void CTimerQueued::removeTimer() {
    if (m_queueTimerId) {
        CTimerQueue::instance()->remove(m_queueTimerId);
        m_queueTimerId = 0;
    }
    if (m_threadTimerId) {
        CThreadPump::current()->killTimer(m_threadTimerId);
        SThreadTimers& state = threadTimers();
        CCriticalSectionGuard guard(state.lock);
        state.timers.erase(m_threadTimerId);
        m_threadTimerId = 0;
    }
}

CError* CTimerQueued::initTimer() {
    removeTimer();
    if (m_interval <= 0) return nullptr;
    const uint32_t periodMs = uint32_t(std::lround(m_interval * 1000.0));
    if (m_isHighPrecision) {
        uint64_t threadId = 0;
        m_bridge = nullptr;
        threadAffinity(threadId, m_bridge);
        CTimerQueue* queue = CTimerQueue::instance();
        if (!queue)
            return QEL_ERROR(CString(),
                             "@qelstr_CTimerQueued_initTimer_createTimerQueue Timer queue creation error.");
        m_queueTimerId = queue->add(0, periodMs, [this] { postTick(); });
        return nullptr;
    }
    SThreadTimers& state = threadTimers();
    CCriticalSectionGuard guard(state.lock);
    m_threadTimerId = CThreadPump::current()->addTimer(periodMs, firePlainTimer);
    state.timers[m_threadTimerId] = this;
    return nullptr;
}

void CTimerQueued::postTick() {
    {
        CCriticalSectionGuard guard(m_lock);
        const int64_t now = m_clock ? m_clock() : platform::performanceCounter();
        if (!m_tickHandled && platform::secondsFromTicks(now - m_lastPostTime) < kRepostAfterSeconds) return;
        m_tickHandled = false;
        m_lastPostTime = now;
    }
    CParamList params;
    qelErrLog(m_bridge ? postEvent(this, *m_bridge, "timer", "sys-tick", params)
                       : postEvent(this, "timer", "sys-tick", params));
}

CError* CTimerQueued::onSysTick() {
    const int64_t start = platform::performanceCounter();
    CError* error = emitEvent("tick", false);
    const double elapsed = platform::secondsFromTicks(platform::performanceCounter() - start);
    CCriticalSectionGuard guard(m_lock);
    m_tickHandled = true;
    m_load = m_interval > 0 ? int32_t(elapsed / m_interval) : 0;
    return error;
}

int32_t CTimerQueued::lastLoad() const {
    CCriticalSectionGuard guard(m_lock);
    return m_load;
}

} // namespace qel
