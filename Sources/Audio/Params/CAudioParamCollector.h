#pragma once

#include <deque>
#include <map>
#include <memory>
#include <vector>

#include "Audio/Params/CAudioParam.h"
#include "Audio/Params/CAudioParamChangeList.h"
#include "Core/CObject.h"
#include "Core/CUpdateNotifier.h"

namespace qel {

class CAudioEnv;
class CAudioParamRegistry;
class CAudioParamSharedStorage;

// "audio:param-collector": makes and owns every run-time parameter of an instance, tells its
// listeners about changes and hands changes to the audio thread.
class CAudioParamCollector : public CObject, public CUpdateNotifier {
public:
    // Told after the outermost parameter access ended, never under a parameter lock.
    class CDeferredListener {
    public:
        virtual ~CDeferredListener() = default;
        virtual void onDeferredChange(int32_t code, double value) = 0;
    };

    class CSharedParam;

    CAudioParamCollector();
    ~CAudioParamCollector() override;

    CError* init() override;
    // Binds the parameters that the "audio:param-shared-storage" children name to their entries.
    CError* initComplete() override;
    void bindSharedStorage(const CAudioParamSharedStorage& storage);

    CAudioEnv* env() const { return m_env; }
    // The parameter of that full name, made (and offered to the registries) on first request.
    CAudioParam* getParam(const CString& fullName);
    // Null when no parameter of that name was made yet.
    CAudioParam* findParam(const CString& fullName) const;
    std::vector<CAudioParam*> params() const;

    // Registries are offered every parameter, the ones already made included.
    void addRegistry(CAudioParamRegistry* registry);
    void removeRegistry(CAudioParamRegistry* registry);

    // The lock every parameter of this collector is read and changed under.
    CCriticalSection& paramLock() { return m_paramLock; }
    // Taking and leaving it through the access protocol: the changes made while it is held reach the
    // audio side together when it is left, so the audio thread never sees half of a preset or of a
    // derived value's sources.
    void enterParamLock();
    void leaveParamLock();
    // The nesting counters of the access protocol; bulk operations count apart from single accesses.
    void acquire(bool bulk);
    void release(bool bulk);
    void queueDeferred(CDeferredListener* listener, int32_t code, double value);
    // Drops the queued notifications of a listener about to go away.
    void forgetDeferred(CDeferredListener* listener);

    // Audio hand-over. Changes queue in a pending list guarded by the environment's lock; the audio
    // thread takes the whole list once per block by swapping it with its own (emptied) list.
    bool mergesChanges() const;
    void queueAudioChange(CAudioParam& param, const SAudioParamChange& change);
    void addPending(CAudioParamChangeList& changes);
    void takePending(CAudioParamChangeList& taken);
    // The audio thread's form: only pointer swaps, nothing freed there. taken holds the changes applied
    // last time and receives the pending ones; false (taken untouched) when none are pending. The
    // applied ones are freed by the next thread that queues a change.
    bool exchangePending(CAudioParamChangeList& taken);

private:
    void offer(CAudioParam* param);

    CAudioEnv* m_env = nullptr;
    CCriticalSection m_paramLock{4000};
    mutable CCriticalSection m_mapLock{4000};
    std::map<CString, std::unique_ptr<CAudioParam>> m_params;
    std::vector<CAudioParamRegistry*> m_registries; // longest hierarchy first

    struct SDeferred {
        CDeferredListener* listener;
        int32_t code;
        double value;
    };
    CCriticalSection m_queueLock{4000};
    std::deque<SDeferred> m_deferred;
    int32_t m_bulkCount = 0;
    int32_t m_accessCount = 0;

    CAudioParamChangeList m_pending;
    CAudioParamChangeList m_spent;
    // Under the parameter lock: changes not yet handed to the audio side, and the lock's depth.
    CAudioParamChangeList m_staged;
    int32_t m_paramLockDepth = 0;

    // After m_params: a binding goes before its parameter.
    std::vector<std::unique_ptr<CSharedParam>> m_sharedParams;
};

} // namespace qel
