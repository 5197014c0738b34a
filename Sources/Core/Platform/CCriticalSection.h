#pragma once

#include <mutex>

namespace qel {

// A recursive lock. The spin count of the original design has no meaning here and is accepted only
// so that call sites read the same on every platform.
class CCriticalSection {
public:
    explicit CCriticalSection(unsigned spinCount = 4000) { (void)spinCount; }
    CCriticalSection(const CCriticalSection&) = delete;
    CCriticalSection& operator=(const CCriticalSection&) = delete;

    void enter() { m_mutex.lock(); }
    bool tryEnter() { return m_mutex.try_lock(); }
    void leave() { m_mutex.unlock(); }

private:
    std::recursive_mutex m_mutex;
};

class CCriticalSectionGuard {
public:
    explicit CCriticalSectionGuard(CCriticalSection& section) : m_section(section) { m_section.enter(); }
    ~CCriticalSectionGuard() { m_section.leave(); }
    CCriticalSectionGuard(const CCriticalSectionGuard&) = delete;
    CCriticalSectionGuard& operator=(const CCriticalSectionGuard&) = delete;

private:
    CCriticalSection& m_section;
};

} // namespace qel
