#include "Core/Platform/CPlatformThread.h"

#include <pthread.h>
#include <sched.h>

namespace qel {

namespace {

struct StartBlock {
    CPlatformThread::Entry entry;
    void* argument;
};

void* threadMain(void* raw) {
    StartBlock block = *static_cast<StartBlock*>(raw);
    delete static_cast<StartBlock*>(raw);
    block.entry(block.argument);
    return nullptr;
}

} // namespace

static_assert(sizeof(pthread_t) <= sizeof(uint64_t));

CPlatformThread::~CPlatformThread() {
    join();
}

int CPlatformThread::start(Entry entry, void* argument) {
    if (m_started) return 0;
    auto* block = new StartBlock{entry, argument};
    pthread_t thread;
    int result = pthread_create(&thread, nullptr, threadMain, block);
    if (result != 0) {
        delete block;
        return result;
    }
    m_handle = uint64_t(thread);
    m_started = true;
    return 0;
}

void CPlatformThread::setTimeCritical() {
    if (!m_started) return;
    sched_param param{};
    param.sched_priority = sched_get_priority_max(SCHED_FIFO);
    pthread_setschedparam(pthread_t(m_handle), SCHED_FIFO, &param);
}

void CPlatformThread::join() {
    if (!m_started) return;
    pthread_join(pthread_t(m_handle), nullptr);
    m_started = false;
}

} // namespace qel
