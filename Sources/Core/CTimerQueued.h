#pragma once

#include <cstdint>

#include "Core/CObject.h"
#include "Core/Platform/CCriticalSection.h"

namespace qel {

// "core:timer": sends "tick" to its subscribers at the rate of "fps" or "interval". High-precision
// timers tick on the process timer thread and hand each tick to the owning thread through the event
// bridge; plain timers fire from the pump of the thread that made them.
class CTimerQueued : public CObject {
public:
    using Clock = int64_t (*)();

    ~CTimerQueued() override;

    virtual CError* onFps(const CAttrValue& value);
    virtual CError* onInterval(const CAttrValue& value);
    virtual CError* onHighPrecision(const CAttrValue& value);
    virtual CError* onSysTick();

    // (Re)creates the system timer for the current interval and precision.
    CError* initTimer();
    // Timer-thread side of a high-precision tick: posts "sys-tick" unless the last one is still
    // waiting and was posted less than two seconds ago.
    void postTick();

    double interval() const { return m_interval; }
    bool isHighPrecision() const { return m_isHighPrecision; }
    bool hasTimer() const { return m_queueTimerId || m_threadTimerId; }
    uint32_t threadTimerId() const { return m_threadTimerId; }
    int32_t lastLoad() const;
    // The performance counter by default; tests drive ticks with their own clock.
    void setClock(Clock clock) { m_clock = clock; }

    static void initClass(CClassRecord& record);
    // Makes owner's child "timer" from the template or class tag at fps, and has its ticks run
    // owner's handler event.
    static CError* createChildTimer(CObject& owner, const CString& tag, const CString& fps,
                                    const CString& handler, CTimerQueued*& timer);

private:
    CError* setInterval(double interval);
    void removeTimer();

    double m_interval = 0;
    bool m_isHighPrecision = false;
    uint32_t m_queueTimerId = 0;
    uint32_t m_threadTimerId = 0;
    mutable CCriticalSection m_lock{4000};
    bool m_tickHandled = true;
    int64_t m_lastPostTime = 0;
    int32_t m_load = 0;
    Clock m_clock = nullptr;
    // Found on the owning thread when the timer starts: the timer thread must not walk a tree that
    // may be coming down around the timer.
    CEventBridge* m_bridge = nullptr;
};

} // namespace qel
