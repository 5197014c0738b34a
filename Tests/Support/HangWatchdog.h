#pragma once

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <string>
#include <thread>

extern char** environ;

namespace qel::test {

// Ends the whole test program, listing what every thread of a concurrency test is doing, when one call
// has not returned within the limit. A deadlocked thread can be neither joined nor cancelled, so a
// hang could not fail the test any other way.
//
// The threads and the watchdog share only relaxed atomics: ThreadSanitizer must see no ordering
// between the threads under test that the code under test does not make itself.
class CHangWatchdog {
public:
    // What one thread is doing. Only its own thread calls enter and leave.
    class CThread {
    public:
        explicit CThread(const char* name) : m_name(name) {}

        // what is a literal; argument, when not negative, is printed after it.
        void enter(const char* what, int64_t argument = -1) {
            m_argument.store(argument, std::memory_order_relaxed);
            m_since.store(now(), std::memory_order_relaxed);
            m_call.store(what, std::memory_order_relaxed);
        }
        void leave() {
            const int64_t end = now();
            const int64_t elapsed = end - m_since.load(std::memory_order_relaxed);
            if (elapsed > m_longest) {
                m_longest = elapsed;
                m_longestCall = m_call.load(std::memory_order_relaxed);
            }
            m_calls.store(m_calls.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
            m_since.store(end, std::memory_order_relaxed);
            m_call.store(nullptr, std::memory_order_relaxed);
        }

        const char* name() const { return m_name; }
        uint64_t calls() const { return m_calls.load(std::memory_order_relaxed); }
        // Only once the thread has been joined.
        double longestSeconds() const { return double(m_longest) * 1e-9; }
        const char* longestCall() const { return m_longestCall; }

    private:
        friend class CHangWatchdog;

        const char* const m_name;
        std::atomic<const char*> m_call{nullptr};
        std::atomic<int64_t> m_argument{-1};
        std::atomic<int64_t> m_since{now()};
        std::atomic<uint64_t> m_calls{0};
        int64_t m_longest = 0;
        const char* m_longestCall = "";
    };

    // Marks one call of a thread for as long as it is in scope.
    class CCall {
    public:
        CCall(CThread& thread, const char* what, int64_t argument = -1) : m_thread(thread) {
            m_thread.enter(what, argument);
        }
        ~CCall() { m_thread.leave(); }
        CCall(const CCall&) = delete;
        CCall& operator=(const CCall&) = delete;

    private:
        CThread& m_thread;
    };

    CHangWatchdog(const char* testName, std::chrono::milliseconds limit)
        : m_testName(testName), m_limit(std::chrono::nanoseconds(limit).count()) {}
    ~CHangWatchdog() { stop(); }
    CHangWatchdog(const CHangWatchdog&) = delete;
    CHangWatchdog& operator=(const CHangWatchdog&) = delete;

    // Every thread is added before start.
    CThread& add(const char* name) { return m_threads.emplace_back(name); }
    const std::deque<CThread>& threads() const { return m_threads; }

    void start() {
        m_start = now();
        m_stop.store(false, std::memory_order_relaxed);
        m_watcher = std::thread([this] { watch(); });
    }
    void stop() {
        if (!m_watcher.joinable()) return;
        m_stop.store(true, std::memory_order_relaxed);
        m_watcher.join();
    }

private:
    static int64_t now() {
        return std::chrono::duration_cast<std::chrono::nanoseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }

    void watch() {
        while (!m_stop.load(std::memory_order_relaxed)) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            const int64_t time = now();
            for (const CThread& thread : m_threads) {
                // A call that started between the two reads is not the one timed.
                const int64_t since = thread.m_since.load(std::memory_order_relaxed);
                const char* call = thread.m_call.load(std::memory_order_relaxed);
                if (call && since == thread.m_since.load(std::memory_order_relaxed) && time - since > m_limit)
                    fail(thread, time);
            }
        }
    }

    [[noreturn]] void fail(const CThread& stuck, int64_t time) {
        std::fflush(stdout);
        std::fprintf(stderr, "\n*** %s: HANG: thread '%s' has not returned for %.3f s (limit %.3f s).\n",
                     m_testName, stuck.m_name,
                     double(time - stuck.m_since.load(std::memory_order_relaxed)) * 1e-9,
                     double(m_limit) * 1e-9);
        std::fprintf(stderr, "*** Every thread, %.3f s after the start:\n", double(time - m_start) * 1e-9);
        for (const CThread& thread : m_threads) {
            const char* call = thread.m_call.load(std::memory_order_relaxed);
            const int64_t argument = thread.m_argument.load(std::memory_order_relaxed);
            // A thread still running may have moved on since the watchdog took the time.
            const double seconds =
                double(std::max<int64_t>(time - thread.m_since.load(std::memory_order_relaxed), 0)) * 1e-9;
            const unsigned long long calls = thread.m_calls.load(std::memory_order_relaxed);
            if (!call)
                std::fprintf(stderr, "***   %-12s between calls for %.3f s (%llu calls returned)\n",
                             thread.m_name, seconds, calls);
            else if (argument < 0)
                std::fprintf(stderr, "***   %-12s in %s for %.3f s (%llu calls returned)\n", thread.m_name,
                             call, seconds, calls);
            else
                std::fprintf(stderr, "***   %-12s in %s %lld for %.3f s (%llu calls returned)\n",
                             thread.m_name, call, static_cast<long long>(argument), seconds, calls);
        }
        std::fflush(stderr);
        printStacks();
        std::fprintf(stderr, "*** %s: ending the test program, a deadlocked thread cannot be joined.\n",
                     m_testName);
        std::fflush(stderr);
        std::_Exit(EXIT_FAILURE);
    }

    // The native stacks of every thread, from gdb when it is installed (at most a minute).
    static void printStacks() {
        const std::string pid = std::to_string(getpid());
        const char* argv[] = {"gdb",
                              "-nx",
                              "-batch",
                              "-p",
                              pid.c_str(),
                              "-ex",
                              "set pagination off",
                              "-ex",
                              "thread apply all bt 40",
                              nullptr};
        pid_t child = 0;
        if (posix_spawnp(&child, "gdb", nullptr, nullptr, const_cast<char* const*>(argv), environ) != 0) {
            std::fprintf(stderr, "*** (gdb not found: no native stacks)\n");
            return;
        }
        for (int tenths = 0; tenths < 600; ++tenths) {
            int status = 0;
            if (waitpid(child, &status, WNOHANG) == child) return;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
    }

    const char* const m_testName;
    const int64_t m_limit;
    int64_t m_start = 0;
    std::deque<CThread> m_threads;
    std::atomic<bool> m_stop{false};
    std::thread m_watcher;
};

} // namespace qel::test
