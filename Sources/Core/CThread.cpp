#include "Core/CThread.h"

#include <map>

#include "Core/Platform/CCriticalSection.h"
#include "Core/Platform/PlatformSystem.h"

namespace qel {

namespace {

struct SThreadNames {
    CCriticalSection lock;
    std::map<uint32_t, CString> names;
};

SThreadNames& threadNames() {
    // Never freed: threads may still be stopped from other static destructors.
    static SThreadNames* const names = new SThreadNames;
    return *names;
}

} // namespace

CThread::~CThread() {
    stop();
}

CError* CThread::runThread(bool highPriority) {
    if (m_running.load())
        return QEL_ERROR(CString(), "@qelstr_CThread_runThread_AlreadyRunning Thread is already running.");
    m_stopRequested.store(false);
    // A stop request that no body consumed must not end the next body at once.
    m_stopEvent.reset();
    if (int code = m_thread.start(&CThread::threadMain, this))
        return QEL_ERROR(CString(), "@qelstr_CThread_runThread_createThreadError Thread creation error %1.",
                         code);
    m_started.wait();
    m_running.store(true);
    if (highPriority) m_thread.setTimeCritical();
    m_nameRegistered = m_registerName;
    if (m_nameRegistered) {
        SThreadNames& registry = threadNames();
        CCriticalSectionGuard guard(registry.lock);
        registry.names[m_threadId] = m_name;
    }
    return nullptr;
}

void CThread::stop() {
    if (!m_running.load()) return;
    m_stopRequested.store(true);
    m_stopEvent.set();
    // Removed before the join: once the thread is gone its id may already name a new thread.
    if (m_nameRegistered) {
        SThreadNames& registry = threadNames();
        CCriticalSectionGuard guard(registry.lock);
        registry.names.erase(m_threadId);
    }
    m_thread.join();
    m_running.store(false);
}

void CThread::setThreadName(const CString& name) {
    m_name = name;
    m_registerName = !name.isEmpty();
}

CString CThread::registeredName(uint32_t threadId) {
    SThreadNames& registry = threadNames();
    CCriticalSectionGuard guard(registry.lock);
    auto found = registry.names.find(threadId);
    return found == registry.names.end() ? CString() : found->second;
}

void CThread::threadMain(void* raw) {
    auto* self = static_cast<CThread*>(raw);
    self->m_threadId = uint32_t(platform::currentThreadId());
    self->m_started.set();
    if (CError* error = self->run()) qelErrReport(error);
}

} // namespace qel
