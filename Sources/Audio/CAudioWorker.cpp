#include "Audio/CAudioWorker.h"

#include <utility>

namespace qel {

CAudioWorker::CAudioWorker(std::function<void()> task) : m_task(std::move(task)) {}

CAudioWorker::~CAudioWorker() {
    finish();
}

// Unnamed: the thread-name registry is a process-wide object never freed, which a plug-in unloaded
// from its host would leave behind.
CError* CAudioWorker::start() {
    return runThread(false);
}

void CAudioWorker::finish() {
    if (!isRunning()) return;
    m_finishing.store(true, std::memory_order_release);
    m_wake.release();
    stop();
}

void CAudioWorker::wake() {
    if (!m_woken.exchange(true, std::memory_order_acq_rel)) m_wake.release();
}

CError* CAudioWorker::run() {
    for (;;) {
        m_wake.acquire();
        if (m_finishing.load(std::memory_order_acquire)) break;
        m_woken.store(false, std::memory_order_release);
        m_task();
    }
    return nullptr;
}

} // namespace qel
