// The library's entry points: the published VST 2.4 entry and the legacy name older Linux hosts
// look up. Everything else in the library stays hidden.

#include <cstdlib>
#include <mutex>

#include "Audio/CAudioWrapper.h"
#include "Audio/ProductStartup.h"
#include "Audio/VST/CAudioWrapperVST.h"
#include "Core/CApplication.h"
#include "Core/CObject.h"
#include "Core/Platform/CTimerQueue.h"
#include "ResourceEmbedder/EmbeddedResources.h"
#include "UI/CWorkerThreadPool.h"

namespace {

std::once_flag g_startup;
bool g_started = false;

qel::CError* createApplication(qel::CObject*& application) {
    return qel::CApplication::initRootObject(qel::CString(), application);
}

// Registered after start-up, so it runs before the framework's own statics are destroyed, whether
// the host unloads the library or exits with it loaded. Instances a host never closed keep the
// framework alive.
void stopLibrary() {
    if (g_started && qel::CApplication::liveTreeContexts() == 0) qel::CApplication::shutdown();
    // No thread may run the library's code once it is unmapped.
    qel::CWorkerThreadPool::instance().clear();
    qel::CTimerQueue::shutdown();
}

void startLibrary() {
    std::call_once(g_startup, [] {
        if (qel::CError* error = qel::qelProductStartup(qel::g_embeddedResources)) {
            qel::qelErrReport(error);
            return;
        }
        qel::CAudioWrapper::setApplicationFactory(createApplication);
        g_started = true;
        std::atexit(stopLibrary);
    });
}

} // namespace

extern "C" __attribute__((visibility("default"))) AEffect* VSTPluginMain(audioMasterCallback audioMaster) {
    startLibrary();
    return CAudioWrapperVST::createEffect(audioMaster);
}

extern "C" __attribute__((visibility("default"))) AEffect*
qelLegacyMain(audioMasterCallback audioMaster) asm("main");
AEffect* qelLegacyMain(audioMasterCallback audioMaster) {
    return VSTPluginMain(audioMaster);
}
