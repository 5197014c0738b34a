#pragma once

#include <atomic>
#include <mutex>

namespace qel {

// Keeps the audio thread's changes to the process graph (parameter values on the audio side,
// subscriptions, swapping process sets) apart from the graph work of other threads. The audio thread
// never waits: when another thread is inside, it leaves its changes for a later block. Other threads
// wait for the audio thread to finish its (short) turn.
class CAudioGraphGate {
public:
    // Audio thread: false when another thread is inside.
    bool tryEnterAudio() {
        int expected = kOpen;
        return m_state.compare_exchange_strong(expected, kAudio, std::memory_order_acquire);
    }
    void leaveAudio() { m_state.store(kOpen, std::memory_order_release); }

    // Any other thread; recursive, so graph work may nest.
    void enter();
    void leave();

    class CGuard {
    public:
        explicit CGuard(CAudioGraphGate& gate) : m_gate(gate) { m_gate.enter(); }
        ~CGuard() { m_gate.leave(); }
        CGuard(const CGuard&) = delete;
        CGuard& operator=(const CGuard&) = delete;

    private:
        CAudioGraphGate& m_gate;
    };

private:
    static constexpr int kOpen = 0;
    static constexpr int kAudio = 1;
    static constexpr int kOther = 2;

    std::atomic<int> m_state{kOpen};
    std::recursive_mutex m_others;
    int m_depth = 0; // under m_others
};

} // namespace qel
