#include "UI/CWorkerThreadPool.h"

namespace qel {

CWorkerThread::CWorkerThread() = default;

CWorkerThread::~CWorkerThread() {
    m_stopping = true;
    m_wake.set();
    stop();
    delete m_error;
}

void CWorkerThread::start(Job job) {
    {
        CCriticalSectionGuard guard(m_lock);
        m_job = std::move(job);
        m_busy = true;
    }
    m_wake.set();
}

bool CWorkerThread::isBusy() {
    CCriticalSectionGuard guard(m_lock);
    return m_busy;
}

CError* CWorkerThread::takeError() {
    CCriticalSectionGuard guard(m_lock);
    CError* error = m_error;
    m_error = nullptr;
    return error;
}

CError* CWorkerThread::run() {
    while (!m_stopping) {
        m_wake.wait();
        Job job;
        {
            CCriticalSectionGuard guard(m_lock);
            if (!m_busy) continue;
            job = std::move(m_job);
        }
        CError* error = job ? job() : nullptr;
        CCriticalSectionGuard guard(m_lock);
        m_error = error;
        m_busy = false;
    }
    return nullptr;
}

CWorkerThreadPool& CWorkerThreadPool::instance() {
    static CWorkerThreadPool pool;
    return pool;
}

CError* CWorkerThreadPool::take(CWorkerThread*& worker) {
    CCriticalSectionGuard guard(m_lock);
    if (!m_free.empty()) {
        worker = m_free.back();
        m_free.pop_back();
        return nullptr;
    }
    auto created = std::make_unique<CWorkerThread>();
    QEL_CHECK(created->runThread(false));
    worker = created.get();
    m_all.push_back(std::move(created));
    return nullptr;
}

void CWorkerThreadPool::giveBack(CWorkerThread* worker) {
    CCriticalSectionGuard guard(m_lock);
    m_free.push_back(worker);
}

void CWorkerThreadPool::clear() {
    CCriticalSectionGuard guard(m_lock);
    m_free.clear();
    m_all.clear();
}

} // namespace qel
