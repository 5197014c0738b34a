#include "Core/CApplication.h"

#include <set>

#include "Core/CDebugLog.h"
#include "Core/CNotifyServer.h"
#include "Core/CObject.h"
#include "Core/CResourceRegistry.h"
#include "Core/Platform/CCriticalSection.h"

namespace qel {

namespace {

struct SRootState {
    CCriticalSection lock;
    std::set<CNotifyServer*> contexts;
    int32_t instanceCounter = 0;
};

SRootState& roots() {
    static SRootState state;
    return state;
}

CError* loadOrInit(CObject& root, const CString& resourceName) {
    if (!resourceName.isEmpty()) return root.loadXMLData(resourceName, true);
    CError* error = root.init();
    if (!error) error = root.initContent();
    if (!error) error = root.initComplete();
    return error;
}

} // namespace

CError* CApplication::startup(const std::vector<const SCreatorEntry*>& tables,
                              const SEmbeddedResource* resources, const CString& sharedDataName) {
    CDebugLog::writeLine("Initializing application...");
    CClassRecord::generic();
    for (const SCreatorEntry* table : tables)
        for (const SCreatorEntry* entry = table; entry && entry->tag; ++entry)
            QEL_CHECK(CCreatorRegistry::registerCreator(*entry));
    CResourceRegistry::registerTable(resources);
    if (CError* error = initSharedObject(sharedDataName)) qelErrReport(error);
    return nullptr;
}

void CApplication::shutdown() {
    CDebugLog::writeLine("Finalizing application...");
    delete CObject::sharedObject();
    CObject::setSharedObject(nullptr);
    CResourceRegistry::clear();
    CCreatorRegistry::clear();
}

CError* CApplication::initSharedObject(const CString& resourceName) {
    if (CObject::sharedObject())
        return QEL_ERROR({}, "@qelstr_CApplication_initSharedObject Shared object already exists.");
    auto* shared = new CObject;
    CObject::setSharedObject(shared);
    shared->makeRoot(nullptr);
    QEL_CHECK(loadOrInit(*shared, resourceName));
    return nullptr;
}

CError* CApplication::initRootObject(const CString& resourceName, CObject*& root) {
    root = nullptr;
    if (!CObject::sharedObject())
        return QEL_ERROR({}, "@qelstr_CApplication_initRootObject No shared object created.");
    auto context = std::make_unique<CNotifyServer>();
    {
        SRootState& state = roots();
        CCriticalSectionGuard guard(state.lock);
        state.contexts.insert(context.get());
        ++state.instanceCounter;
    }
    auto* object = new CObject;
    object->makeRoot(std::move(context));
    if (CError* error = loadOrInit(*object, resourceName)) {
        releaseRootObject(object);
        return QEL_PASS(error);
    }
    root = object;
    return nullptr;
}

void CApplication::releaseRootObject(CObject* root) {
    if (!root) return;
    {
        SRootState& state = roots();
        CCriticalSectionGuard guard(state.lock);
        state.contexts.erase(root->treeContext());
    }
    delete root;
}

int32_t CApplication::instanceCounter() {
    CCriticalSectionGuard guard(roots().lock);
    return roots().instanceCounter;
}

size_t CApplication::liveTreeContexts() {
    CCriticalSectionGuard guard(roots().lock);
    return roots().contexts.size();
}

} // namespace qel
