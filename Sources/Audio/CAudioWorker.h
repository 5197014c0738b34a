#pragma once

#include <atomic>
#include <functional>
#include <semaphore>

#include "Core/CThread.h"

namespace qel {

// The instance's helper thread: does what the audio thread must not (build and free processes, take
// parameter locks). The audio thread asks with wake(), which never waits, and picks the results up
// at a later block.
class CAudioWorker : public CThread {
public:
    explicit CAudioWorker(std::function<void()> task);
    ~CAudioWorker() override;

    CError* start();
    void finish();
    // Any thread, without waiting: the task runs again soon.
    void wake();

protected:
    CError* run() override;

private:
    std::function<void()> m_task;
    std::atomic<bool> m_woken{false};
    std::atomic<bool> m_finishing{false};
    std::counting_semaphore<> m_wake{0};
};

} // namespace qel
