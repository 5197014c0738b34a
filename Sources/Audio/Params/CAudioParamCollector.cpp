#include "Audio/Params/CAudioParamCollector.h"

#include <algorithm>

#include "Audio/CAudioEnv.h"
#include "Audio/Params/CAudioParamRegistry.h"
#include "Audio/Params/CAudioParamSharedParam.h"
#include "Audio/Params/CAudioParamSharedStorage.h"

namespace qel {

CAudioParamCollector::CAudioParamCollector() = default;

CAudioParamCollector::~CAudioParamCollector() {
    for (CAudioParamRegistry* registry : m_registries)
        registry->onCollectorGone();
}

CError* CAudioParamCollector::init() {
    QEL_CHECK(CObject::init());
    CError* error = findObjectByAttr("env", m_env);
    return error ? QEL_PASS_CTX(error, fullName()) : nullptr;
}

CError* CAudioParamCollector::initComplete() {
    QEL_CHECK(CObject::initComplete());
    for (CObject* child : children())
        if (auto* storage = dynamic_cast<CAudioParamSharedStorage*>(child)) bindSharedStorage(*storage);
    return nullptr;
}

void CAudioParamCollector::bindSharedStorage(const CAudioParamSharedStorage& storage) {
    auto& shared = m_sharedParams.emplace_back(std::make_unique<CSharedParam>(
        *this, *getParam(storage.paramName()), storage.store(), storage.dataName()));
    shared->loadFromStore();
}

CAudioParam* CAudioParamCollector::findParam(const CString& fullName) const {
    CCriticalSectionGuard guard(m_mapLock);
    auto found = m_params.find(fullName);
    return found == m_params.end() ? nullptr : found->second.get();
}

CAudioParam* CAudioParamCollector::getParam(const CString& fullName) {
    CAudioParam* param;
    {
        CCriticalSectionGuard guard(m_mapLock);
        std::unique_ptr<CAudioParam>& slot = m_params[fullName];
        if (slot) return slot.get();
        slot = std::make_unique<CAudioParam>(*this, fullName);
        param = slot.get();
    }
    offer(param);
    return param;
}

std::vector<CAudioParam*> CAudioParamCollector::params() const {
    CCriticalSectionGuard guard(m_mapLock);
    std::vector<CAudioParam*> all;
    for (const auto& [name, param] : m_params)
        all.push_back(param.get());
    return all;
}

void CAudioParamCollector::addRegistry(CAudioParamRegistry* registry) {
    if (std::find(m_registries.begin(), m_registries.end(), registry) != m_registries.end()) return;
    auto position = std::find_if(m_registries.begin(), m_registries.end(), [&](CAudioParamRegistry* other) {
        return other->hierarchy().length() < registry->hierarchy().length();
    });
    m_registries.insert(position, registry);
    for (CAudioParam* param : params())
        offer(param);
    // Definitions may have arrived: stored values can be read now.
    for (auto& shared : m_sharedParams)
        shared->loadFromStore();
}

void CAudioParamCollector::removeRegistry(CAudioParamRegistry* registry) {
    m_registries.erase(std::remove(m_registries.begin(), m_registries.end(), registry), m_registries.end());
}

// An enumerated registry keeps its parameters to itself; otherwise every registry above the
// parameter owns it, so the master and a nested registry can share one.
void CAudioParamCollector::offer(CAudioParam* param) {
    auto covers = [&](CAudioParamRegistry* registry) {
        const CString& hierarchy = registry->hierarchy();
        return param->name().length() > hierarchy.length() && param->name().startsWith(hierarchy);
    };
    for (CAudioParamRegistry* registry : m_registries)
        if (registry->isEnumerated() && covers(registry)) {
            registry->claim(param);
            return;
        }
    for (CAudioParamRegistry* registry : m_registries)
        if (!registry->isEnumerated() && covers(registry)) registry->claim(param);
}

void CAudioParamCollector::acquire(bool bulk) {
    CCriticalSectionGuard guard(m_queueLock);
    ++(bulk ? m_bulkCount : m_accessCount);
}

void CAudioParamCollector::release(bool bulk) {
    m_queueLock.enter();
    --(bulk ? m_bulkCount : m_accessCount);
    while (m_bulkCount == 0 && m_accessCount == 0 && !m_deferred.empty()) {
        std::deque<SDeferred> taken;
        taken.swap(m_deferred);
        m_queueLock.leave();
        for (const SDeferred& entry : taken)
            entry.listener->onDeferredChange(entry.code, entry.value);
        m_queueLock.enter();
    }
    m_queueLock.leave();
}

void CAudioParamCollector::queueDeferred(CDeferredListener* listener, int32_t code, double value) {
    CCriticalSectionGuard guard(m_queueLock);
    m_deferred.push_back({listener, code, value});
}

void CAudioParamCollector::forgetDeferred(CDeferredListener* listener) {
    CCriticalSectionGuard guard(m_queueLock);
    m_deferred.erase(std::remove_if(m_deferred.begin(), m_deferred.end(),
                                    [&](const SDeferred& entry) { return entry.listener == listener; }),
                     m_deferred.end());
}

bool CAudioParamCollector::mergesChanges() const {
    return !m_env || m_env->mergeChanges;
}

void CAudioParamCollector::enterParamLock() {
    m_paramLock.enter();
    ++m_paramLockDepth;
}

void CAudioParamCollector::leaveParamLock() {
    if (--m_paramLockDepth == 0 && !m_staged.empty()) addPending(m_staged);
    m_paramLock.leave();
}

// Changes are made under the parameter lock; they leave for the audio side when it is left.
void CAudioParamCollector::queueAudioChange(CAudioParam& param, const SAudioParamChange& change) {
    if (!m_env) return;
    enterParamLock();
    m_staged.add(param, change, mergesChanges());
    leaveParamLock();
}

void CAudioParamCollector::addPending(CAudioParamChangeList& changes) {
    if (!m_env) return;
    CCriticalSectionGuard guard(m_env->lock());
    m_spent.clear();
    m_pending.addAll(changes, m_env->mergeChanges);
}

void CAudioParamCollector::takePending(CAudioParamChangeList& taken) {
    taken.clear();
    exchangePending(taken);
}

// Whenever changes are pending the spent list is empty (adding to the pending list empties it), so
// two swaps hand the applied changes back and take the new ones.
bool CAudioParamCollector::exchangePending(CAudioParamChangeList& taken) {
    if (!m_env) return false;
    CCriticalSectionGuard guard(m_env->lock());
    if (m_pending.empty()) return false;
    m_spent.swap(taken);
    m_pending.swap(taken);
    return true;
}

} // namespace qel
