#include "Audio/VST/CAudioWrapperVSTEditor.h"

#include <atomic>

#include "Audio/CAudioWrapper.h"
#include "Audio/VST/CAudioWrapperVST.h"
#include "Core/CApplication.h"
#include "Core/CDebugLog.h"
#include "Core/CObject.h"
#include "Core/Platform/CPlatformWindow.h"
#include "Core/Platform/CThreadPump.h"
#include "Core/Platform/CUIThread.h"
#include "Other/CParamInterfaceClientConnectorUni.h"
#include "UI/CWindowRenderer.h"
#include "UI/CWorkerThreadPool.h"

using namespace qel;

namespace {

std::atomic<int32_t> g_editors{0};

// The host's call waits for the user-interface thread; a thread that does not answer is reported,
// never waited for without end.
bool onUserInterfaceThread(const std::function<void()>& task) {
    if (CUIThread::instance().runSync(task, CAudioWrapperVSTEditor::kAnswerTimeoutMs)) return true;
    qelErrReport(QEL_ERROR({},
                           "@qelstr_CAudioWrapperVSTEditor_run_Timeout The user interface did not answer "
                           "within %1 ms.",
                           CAudioWrapperVSTEditor::kAnswerTimeoutMs));
    return false;
}

} // namespace

CAudioWrapperVSTEditor::CAudioWrapperVSTEditor(AudioEffect* effect, CAudioWrapper& core)
    : AEffEditor(effect), m_core(core), m_audioRoot(core.applicationObject()) {
    setSize(core.editorWidth(), core.editorHeight());
    ++g_editors;
}

CAudioWrapperVSTEditor::~CAudioWrapperVSTEditor() {
    if (m_userInterfaceRoot) onUserInterfaceThread([this] { destroyRoot(); });
    // The last editor of the process takes the render workers with it: the library may be unloaded next.
    if (--g_editors == 0) CWorkerThreadPool::instance().clear();
    if (m_usesUserInterfaceThread) CUIThread::release();
}

void CAudioWrapperVSTEditor::setSize(int32_t width, int32_t height) {
    m_rect.right = int16_t(width);
    m_rect.bottom = int16_t(height);
}

bool CAudioWrapperVSTEditor::getRect(ERect** rect) {
    *rect = &m_rect;
    return true;
}

bool CAudioWrapperVSTEditor::open(void* parent) {
    CDebugLog::printf("Open VST UI on: %.4f s", CDebugLog::secondsSinceLoad());
    if (m_userInterfaceRoot) return false;
    m_systemWindow = parent;
    // Hosts that keep the keyboard for themselves (by the host rules) get no focus taken on a click.
    CPlatformWindow::setFocusOnClick(CAudioWrapperVST::focusOnClick());
    // Instances whose editor never opens never start the thread.
    if (!m_usesUserInterfaceThread) {
        CUIThread::acquire();
        m_usesUserInterfaceThread = true;
    }
    bool built = false;
    if (!onUserInterfaceThread([this, &built] { built = build(); })) return false;
    return built;
}

// Attribute errors are shown and the tree is built all the same; a tree that does not load is
// released and its error returned.
CError* CAudioWrapperVSTEditor::buildTree(void* parent, double scale, CObject*& root) {
    root = nullptr;
    QEL_CHECK(CApplication::initRootObject(CString(), root));
    for (CError* error :
         {root->setAttrPointer("BaseConnectorRootPtr", &m_audioRoot),
          parent ? root->setAttrPointer("ParentWindow", parent) : root->setAttrBool("Offscreen", true),
          root->setAttrDouble("VisualScale", scale),
          root->setAttr("plugin-tech", "VST PlugIn Technology by Steinberg", true)})
        if (error) qelErrReport(error);
    if (CError* error = root->loadXMLData("UserInterface.xml", true)) {
        CApplication::releaseRootObject(root);
        root = nullptr;
        return QEL_PASS(error);
    }
    return nullptr;
}

bool CAudioWrapperVSTEditor::build() {
    CObject* root = nullptr;
    if (CError* error = buildTree(m_systemWindow, m_core.uiScale(), root)) {
        qelErrReport(error);
        return false;
    }
    m_userInterfaceRoot = root;
    m_windowRenderer = dynamic_cast<CWindowRenderer*>(root->findObject("ui.main-window.window-renderer"));
    if (!m_windowRenderer) {
        destroyRoot();
        return false;
    }
    return true;
}

CError* CAudioWrapperVSTEditor::snapshot(double scale, CBitmap& picture) {
    CObject* root = nullptr;
    QEL_CHECK(buildTree(nullptr, scale, root));
    CError* error = nullptr;
    auto* window = dynamic_cast<CWindowRenderer*>(root->findObject("ui.main-window.window-renderer"));
    auto* connector =
        dynamic_cast<CParamInterfaceClientConnectorUni*>(root->findObject("ui.interface-client-connector"));
    if (!window || !connector) {
        error = QEL_ERROR(
            {}, "@qelstr_CAudioWrapperVSTEditor_snapshot_NoWindow The user interface has no main window.");
    } else {
        // The parameter values the read-outs show arrive as messages: a few rounds bring all of them.
        for (int round = 0; round < 4; ++round) {
            connector->poll();
            CThreadPump::current()->pump();
        }
        error = window->renderOffscreen(picture);
    }
    CApplication::releaseRootObject(root);
    return error;
}

void CAudioWrapperVSTEditor::destroyRoot() {
    CObject* root = m_userInterfaceRoot;
    m_userInterfaceRoot = nullptr;
    m_windowRenderer = nullptr;
    if (root) CApplication::releaseRootObject(root);
}

void CAudioWrapperVSTEditor::close() {
    if (m_userInterfaceRoot) onUserInterfaceThread([this] { destroyRoot(); });
    m_core.updateWindowSize();
    setSize(m_core.editorWidth(), m_core.editorHeight());
}

bool CAudioWrapperVSTEditor::onWheel(float distance) {
    bool handled = false;
    if (!m_windowRenderer) return false;
    onUserInterfaceThread([this, distance, &handled] {
        if (m_windowRenderer) handled = m_windowRenderer->onWheelStep(distance < 0 ? -1 : 1);
    });
    return handled;
}
