#pragma once

#include <atomic>
#include <cstdint>

#include "Core/CCheckedObject.h"
#include "Core/CError.h"
#include "Core/CString.h"
#include "Core/Platform/CEvent.h"
#include "Core/Platform/CPlatformThread.h"

namespace qel {

// A worker thread whose body is run(). The body waits on stopEvent() and returns once it is set.
// run() is pure, so a derived class must call stop() in its own destructor: by the time the base
// destructor stops the thread, the derived body would already be gone.
class CThread : public CCheckedObject {
public:
    CThread() = default;
    ~CThread() override;

    // Starts the body on a new thread, optionally at time-critical priority. The thread id is known
    // and the name registered (when asked for) by the time this returns.
    CError* runThread(bool highPriority);
    // Asks the body to end and waits for it without time-out; does nothing when not running.
    void stop();

    // The name entered in the thread-name registry by the next runThread; empty registers nothing.
    void setThreadName(const CString& name);
    const CString& threadName() const { return m_name; }
    uint32_t threadId() const { return m_threadId; }
    bool isRunning() const { return m_running.load(); }

    // The registered name of a running thread; empty when it has none.
    static CString registeredName(uint32_t threadId);

protected:
    virtual CError* run() = 0;

    CEvent& stopEvent() { return m_stopEvent; }
    bool isStopRequested() const { return m_stopRequested.load(); }

private:
    static void threadMain(void* self);

    uint32_t m_threadId = 0;
    CEvent m_stopEvent{false, false};
    CEvent m_started;
    CPlatformThread m_thread;
    std::atomic<bool> m_running{false};
    std::atomic<bool> m_stopRequested{false};
    CString m_name;
    bool m_registerName = false;
    bool m_nameRegistered = false; // by the current run, whatever setThreadName did since
};

} // namespace qel
