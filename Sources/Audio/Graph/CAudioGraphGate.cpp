#include "Audio/Graph/CAudioGraphGate.h"

#include <thread>

namespace qel {

void CAudioGraphGate::enter() {
    m_others.lock();
    if (m_depth++ > 0) return;
    for (int expected = kOpen; !m_state.compare_exchange_weak(expected, kOther, std::memory_order_acquire);
         expected = kOpen)
        std::this_thread::yield();
}

void CAudioGraphGate::leave() {
    if (--m_depth == 0) m_state.store(kOpen, std::memory_order_release);
    m_others.unlock();
}

} // namespace qel
