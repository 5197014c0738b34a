#include "Audio/CAudioWorker.h"

#include <utility>

namespace qel {

CAudioWorker::CAudioWorker(std::function<void()> task) : m_task(std::move(task)) {}

CAudioWorker::~CAudioWorker() {
    finish();
}

CError* CAudioWorker::start() {
    setThreadName("Audio worker");
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
