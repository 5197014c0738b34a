#include "UI/CWindowRenderer.h"

#include <cmath>
#include <thread>

#include "Core/CDebugLog.h"
#include "Core/CTimerQueued.h"
#include "Core/Platform/PlatformDisplay.h"
#include "Core/Platform/PlatformSystem.h"
#include "UI/CAppDataGlobal.h"
#include "UI/CAppDataLocal.h"
#include "UI/CView.h"
#include "UI/CWorkerThreadPool.h"

namespace qel {

namespace {

std::atomic<int32_t> g_windowNumbers{0};
std::atomic<int32_t> g_processorCount{0};

const char* const kWindowClass = "Quelmar Emberline VST2 UIWindow";

constexpr char kMouseMove[] = "mouse-move";
constexpr char kMouseButton[] = "mouse-button";
constexpr char kMouseXButton[] = "mouse-xbutton";
constexpr char kMouseWheel[] = "mouse-wheel";
constexpr char kMouseExit[] = "mouse-exit";
constexpr char kKeyPress[] = "key-press";
constexpr char kKeyRelease[] = "key-release";

// Handlers are not told their event's name; input events are routed on by name, so each gets its own.
template <const char* Name, CError* (CWindowRenderer::*Route)(const CString&, CParamList&)>
void addRouted(CClassRecord& record) {
    record.addEvent(Name, [](CObject& object, CParamList& args) {
        return (static_cast<CWindowRenderer&>(object).*Route)(Name, args);
    });
}

const char* const kAlignments[] = {
    "bottom", "bottom-center", "bottom-local-center", "center", "center-overlay", "left", "right", "cursor"};

// Tiles are drawn with their edges grown by a pixel: anti-aliased edges reach past a view's rectangle.
SPixelRect grown(const SPixelRect& rect) {
    return {rect.x - 1, rect.y - 1, rect.width + 2, rect.height + 2};
}

void findWindows(CObject* object, std::vector<CWindowRenderer*>& found) {
    if (auto* window = dynamic_cast<CWindowRenderer*>(object)) found.push_back(window);
    for (CObject* child : object->children())
        findWindows(child, found);
}

CView* findRootView(CObject* object) {
    if (auto* view = dynamic_cast<CView*>(object); view && view->getAttrBool("is-root-view")) return view;
    for (CObject* child : object->children())
        if (CView* found = findRootView(child)) return found;
    return nullptr;
}

} // namespace

void CWindowRenderer::initClass(CClassRecord& record) {
    CClassRecord::initObject(record);
    record.addEvent("render-tick",
                    [](CObject& object) { return static_cast<CWindowRenderer&>(object).onTick(); });
    record.addEvent("render", [](CObject& object) { return object.emitEvent("render", false); });
    record.addEvent("paint", [](CObject& object, CParamList& args) {
        return static_cast<CWindowRenderer&>(object).onPaint(args);
    });
    addRouted<kMouseMove, &CWindowRenderer::routeMouse>(record);
    addRouted<kMouseButton, &CWindowRenderer::routeMouse>(record);
    addRouted<kMouseXButton, &CWindowRenderer::routeMouse>(record);
    addRouted<kMouseWheel, &CWindowRenderer::routeMouse>(record);
    addRouted<kMouseExit, &CWindowRenderer::routeMouse>(record);
    addRouted<kKeyPress, &CWindowRenderer::routeKey>(record);
    addRouted<kKeyRelease, &CWindowRenderer::routeKey>(record);
    for (const char* name : {"activate-window", "deactivate-window", "focus-lost", "close-window"})
        record.addEvent(name, [](CObject& object) { return object.emitEvent("window-state", false); });
    record.addEvent("close-app", [](CObject&) -> CError* { return nullptr; });
    record.addAttrHandler("fps", [](CObject& object, const CString&, const CAttrValue& value) {
        auto& window = static_cast<CWindowRenderer&>(object);
        return window.m_renderTimer ? window.m_renderTimer->setAttr("fps", value.text(), true) : nullptr;
    });
}

CWindowRenderer::~CWindowRenderer() {
    m_isTearingDown = true;
    m_platformWindow.reset();
}

CError* CWindowRenderer::init() {
    QEL_CHECK(CObject::init());
    m_isMainWindow = getAttrBool("is-main-window");
    m_windowX = getAttrInt("window-x");
    m_windowY = getAttrInt("window-y");
    const CString alignment = getAttr("window-alignment");
    if (!alignment.isEmpty() && std::none_of(std::begin(kAlignments), std::end(kAlignments),
                                             [&](const char* a) { return alignment == a; }))
        return QEL_ERROR(fullName(),
                         "@qelstr_CWindow_createWindow_InvalidWinAlign Invalid window alignment '%1'",
                         alignment);
    m_windowNumber = ++g_windowNumbers;
    CDebugLog::printf("Open window on: %.4f s", CDebugLog::secondsSinceLoad());
    return nullptr;
}

CError* CWindowRenderer::initComplete() {
    QEL_CHECK(CObject::initComplete());
    m_rootView = parent() ? findRootView(parent()) : nullptr;
    if (!m_rootView)
        return QEL_ERROR(fullName(), "@qelstr_CWindow_init_NoRootView Unable to find root view.");
    uint64_t threadId = 0;
    CEventBridge* bridge = nullptr;
    if (!threadAffinity(threadId, bridge) || !bridge)
        return QEL_ERROR(fullName(),
                         "@qelstr_CWindow_init_NoEventBridge Unable to locate a suitable event bridge.");
    m_rootView->setWindow(this);
    // Snapshots draw the tree with no system window; otherwise the main window lives in the host's.
    m_isOffscreen = root()->getAttrBool("Offscreen");
    m_isEmbedded = m_isMainWindow && !m_isOffscreen;
    QEL_CHECK(applyScale());
    if (getAttrBool("is-window-position-stored") && !m_isEmbedded) QEL_CHECK(restoreWindowPosition());
    return createTimers();
}

CError* CWindowRenderer::createTimers() {
    const std::map<CString, CString> render{{"fps", hasAttr("fps") ? getAttr("fps") : CString("30")}};
    // Found at ".render-timer" and so on relative to the window.
    QEL_CHECK(createChild("ui:update-timer", "render-timer", false, &render, m_renderTimer));
    listenObject(m_renderTimer, "tick", "render-tick");
    // Started by the controls that use them.
    for (const char* name : {"auto-click-timer", "deactivate-timer", "update-actual-pos-timer"}) {
        CTimerQueued* timer = nullptr;
        QEL_CHECK(createChild("core:timer", name, false, nullptr, timer));
    }
    return nullptr;
}

void CWindowRenderer::detachFromParent() {
    m_isTearingDown = true;
    m_platformWindow.reset();
    if (m_rootView) m_rootView->setWindow(nullptr);
    CObject::detachFromParent();
}

CError* CWindowRenderer::applyScale() {
    const double rootScale = m_rootView->getAttrDouble("scale", 0);
    m_scale = rootScale > 0 ? rootScale : root()->getAttrDouble("VisualScale", 1.0);
    if (!(m_scale > 0)) m_scale = 1.0;
    // The root's own placement gives the window size.
    m_rootView->layout({0, 0, 0, 0});
    const SViewRect& area = m_rootView->frame();
    const auto width = int32_t(std::lround(area.width * m_scale));
    const auto height = int32_t(std::lround(area.height * m_scale));
    m_sectors.resize(width, height);
    m_backBuffer.resize(width, height, m_background);
    if (m_platformWindow) m_platformWindow->setBounds(m_windowX, m_windowY, width, height);
    invalidateAll();
    return nullptr;
}

CError* CWindowRenderer::onUpdateWindowScale(int32_t mode) {
    if (mode != 0 && mode != 1)
        return QEL_ERROR(fullName(), "@qelstr_CWindowRenderer_onUpdateWindowScale_InvalidMode Invalid mode.");
    if (mode == 1) QEL_CHECK(m_rootView->setAttrDouble("scale", root()->getAttrDouble("VisualScale", 1.0)));
    return applyScale();
}

CError* CWindowRenderer::restoreWindowPosition() {
    const CString id = getAttr("window-position-id");
    if (id.isEmpty())
        return QEL_ERROR(
            fullName(),
            "@qelstr_CWindowRenderer_restoreWindowPosition_NoWinPosId Window position ID is empty.");
    CAppData& store = getAttrBool("is-window-position-stored-globally")
                          ? static_cast<CAppData&>(CAppDataGlobal::instance())
                          : CAppDataLocal::instance();
    CString text;
    if (!store.getText("winpos-" + id, text)) return nullptr;
    const std::vector<CString> parts = text.split(' ');
    double x = 0, y = 0;
    if (parts.size() == 2 && parts[0].parseDouble(x) && parts[1].parseDouble(y)) {
        m_windowX = int32_t(x);
        m_windowY = int32_t(y);
        m_positionChanged = true;
    }
    return nullptr;
}

void CWindowRenderer::requestUpdate(const SViewRect& rect) {
    if (!rect.isEmpty()) m_updateRequests.push_back(rect);
}

void CWindowRenderer::invalidateAll() {
    if (!m_rootView) return;
    m_rootView->requestPrepareTree();
    repaintAll();
}

void CWindowRenderer::repaintAll() {
    if (m_rootView) m_updateRequests.push_back({0, 0, m_rootView->frame().width, m_rootView->frame().height});
}

void CWindowRenderer::invalidateAllWindows(CObject* object) {
    std::vector<CWindowRenderer*> windows;
    if (object) findWindows(object->root(), windows);
    for (CWindowRenderer* window : windows)
        window->invalidateAll();
}

void CWindowRenderer::forgetView(CView* view) {
    if (m_capture == view) m_capture = nullptr;
    if (m_focus == view) m_focus = nullptr;
    if (m_hover == view) m_hover = nullptr;
    if (m_rootView == view) m_rootView = nullptr;
}

void CWindowRenderer::computePosition(int32_t width, int32_t height, int32_t& x, int32_t& y) {
    x = m_windowX;
    y = m_windowY;
    if (m_isEmbedded || m_positionChanged) return;
    const CString alignment = getAttr("window-alignment");
    int32_t screenWidth = 0, screenHeight = 0;
    platform::primaryMonitorSize(screenWidth, screenHeight);
    if (alignment == "center") {
        x += (screenWidth - width) / 2;
        y += (screenHeight - height) / 2;
    }
    // Pop-ups placed against their opener are positioned by the control that opens them.
}

CError* CWindowRenderer::createWindow() {
    SPlatformWindowSpec spec;
    spec.isEmbedded = m_isEmbedded;
    spec.isMainWindow = m_isMainWindow;
    spec.width = m_sectors.width();
    spec.height = m_sectors.height();
    spec.className = kWindowClass;
    spec.title = getAttr("title");
    if (m_isEmbedded) {
        spec.parent = reinterpret_cast<uintptr_t>(root()->getAttrPointer("ParentWindow"));
        if (!spec.parent)
            return QEL_ERROR(fullName(),
                             "@qelstr_CWindow_createWindow_NoParentWindow Unable to locate parent window.");
    } else {
        computePosition(spec.width, spec.height, spec.x, spec.y);
    }
    std::unique_ptr<CPlatformWindow> created;
    CError* error = CPlatformWindow::create(spec, *this, created);
    if (error) return QEL_PASS_CTX(error, fullName());
    m_platformWindow = std::move(created);
    m_isCreated = true;
    invalidateAll();
    return nullptr;
}

CError* CWindowRenderer::onTick() {
    if (m_isTearingDown || state() < Completed || !m_rootView || m_isOffscreen) return nullptr;
    if (m_sectors.width() < 1 || m_sectors.height() < 1) return nullptr;
    if (m_createFailed) return nullptr;
    if (!m_isCreated) {
        // Reported once: a window that cannot be made now will not be made on the next tick either.
        if (CError* error = createWindow()) {
            m_createFailed = true;
            return QEL_PASS(error);
        }
    }
    return renderPass();
}

int32_t CWindowRenderer::workerCount(double numThreads, int32_t processors, int32_t dirtyTiles) {
    int32_t count = std::min(int32_t(std::ceil(numThreads * processors)) - 1, kMaxWorkers);
    if (count >= dirtyTiles) count = dirtyTiles - 1;
    return count;
}

void CWindowRenderer::setProcessorCount(int32_t count) {
    g_processorCount = count;
}

void CWindowRenderer::collectViews(CView* view, CSector& sector) {
    if (!view->isVisibleInFrame(m_frameCounter)) return;
    if (!CDrawContext::toDevice(view->drawBounds(), m_scale).intersected(grown(sector.rect)).isEmpty())
        sector.views.push_back(view);
    for (CView* child : view->childViews())
        collectViews(child, sector);
}

CError* CWindowRenderer::collectDrawLists() {
    for (int32_t index : m_sectors.queued()) {
        CSector& sector = m_sectors.sector(index);
        sector.views.clear();
        collectViews(m_rootView, sector);
        sector.hasContent = !sector.views.empty();
        for (CView* view : sector.views)
            QEL_CHECK(view->prepareIfNeeded(m_scale));
    }
    return nullptr;
}

void CWindowRenderer::drawTile(int32_t index) {
    const CSector& sector = m_sectors.sector(index);
    m_backBuffer.fill(sector.rect, m_background);
    CDrawContext context(m_backBuffer, sector.rect, m_scale);
    for (const CView* view : sector.views)
        view->draw(context);
}

void CWindowRenderer::drawQueuedTiles() {
    for (int32_t index = 0; m_sectors.takeTile(index);)
        drawTile(index);
}

CError* CWindowRenderer::renderPass() {
    ++m_frameCounter;
    QEL_CHECK(runEvent("render"));
    if (m_isTearingDown || !m_rootView) return nullptr;

    for (const SViewRect& rect : m_updateRequests)
        m_sectors.markDirty(grown(CDrawContext::toDevice(rect, m_scale)));
    m_updateRequests.clear();
    const auto dirty = int32_t(m_sectors.queued().size());
    if (dirty == 0) {
        m_lastWorkerCount = 0;
        m_lastTilesDrawn = 0;
        return nullptr;
    }
    QEL_CHECK(collectDrawLists());

    const int32_t processors = g_processorCount ? g_processorCount.load() : platform::processorCount();
    const int32_t workers = workerCount(getAttrDouble("num-threads", 1.0), processors, dirty);
    m_lastWorkerCount = std::max(workers, 0);
    CError* error = nullptr;
    if (workers <= 0) {
        drawQueuedTiles();
    } else {
        std::vector<CWorkerThread*> started;
        for (int32_t i = 0; i < workers && !error; ++i) {
            CWorkerThread* worker = nullptr;
            error = CWorkerThreadPool::instance().take(worker);
            if (error) break;
            worker->start([this] {
                drawQueuedTiles();
                return static_cast<CError*>(nullptr);
            });
            started.push_back(worker);
        }
        drawQueuedTiles();
        // Tiles are small: the workers finish within microseconds of the last tile taken.
        for (CWorkerThread* worker : started) {
            while (worker->isBusy())
                std::this_thread::yield();
            if (CError* workerError = worker->takeError()) {
                delete error;
                error = workerError;
            }
            CWorkerThreadPool::instance().giveBack(worker);
        }
    }
    m_lastTilesDrawn = int32_t(m_sectors.takenCount());
    const std::vector<SPixelRect> rects = m_sectors.takenRects();
    if (error) return QEL_PASS_CTX(error, fullName());
    present(rects);
    return nullptr;
}

void CWindowRenderer::present(const std::vector<SPixelRect>& rects) {
    if (!m_platformWindow || rects.empty()) return;
    std::vector<SPlatformRect> areas;
    areas.reserve(rects.size());
    for (const SPixelRect& rect : rects)
        areas.push_back({rect.x, rect.y, rect.width, rect.height});
    m_platformWindow->present(m_backBuffer.data(), m_backBuffer.width(), m_backBuffer.height(), areas);
    ++m_presentedFrames;
}

CError* CWindowRenderer::renderOffscreen(CBitmap& picture) {
    repaintAll();
    QEL_CHECK(renderPass());
    picture = m_backBuffer;
    return nullptr;
}

CError* CWindowRenderer::onPaint(CParamList& args) {
    SPixelRect area{args.toInt("x"), args.toInt("y"), args.toInt("width"), args.toInt("height")};
    if (!m_isFirstRenderDone) {
        m_isFirstRenderDone = true;
        const double start = CDebugLog::secondsSinceLoad();
        repaintAll();
        QEL_CHECK(renderPass());
        CDebugLog::printf("First render time: %.4f s @ %.4f s", CDebugLog::secondsSinceLoad() - start,
                          CDebugLog::secondsSinceLoad());
        area = {0, 0, m_backBuffer.width(), m_backBuffer.height()};
    }
    if (m_positionChanged && m_platformWindow && !m_isEmbedded) {
        m_platformWindow->setBounds(m_windowX, m_windowY, m_backBuffer.width(), m_backBuffer.height());
        m_positionChanged = false;
    }
    area = area.intersected(m_backBuffer.bounds());
    if (area.isEmpty() || !m_platformWindow) return nullptr;
    m_platformWindow->present(m_backBuffer.data(), m_backBuffer.width(), m_backBuffer.height(),
                              {{area.x, area.y, area.width, area.height}});
    ++m_presentedFrames;
    return nullptr;
}

CError* CWindowRenderer::routeMouse(const CString& name, CParamList& args) {
    if (!m_rootView) return nullptr;
    int32_t originX = 0, originY = 0;
    if (m_platformWindow) m_platformWindow->screenOrigin(originX, originY);
    if (name == "mouse-move") m_mouseState = args;
    const int32_t localX = args.toInt("x") - originX, localY = args.toInt("y") - originY;
    args.setInt("local-x", localX);
    args.setInt("local-y", localY);
    CView* target = m_capture ? m_capture : m_rootView->hitTest(localX / m_scale, localY / m_scale);
    if (name == "mouse-exit") target = m_hover;
    if (name == "mouse-move" && target != m_hover) {
        if (m_hover && m_hover->classRecord().findEvent("mouse-exit")) {
            CParamList none;
            QEL_CHECK(m_hover->runEvent("mouse-exit", none));
        }
        m_hover = target;
    }
    const bool isPress = name == "mouse-button" && args.toInt("is-button-down") == 1;
    if (isPress && target) {
        m_capture = target;
        if (target->isFocusable()) m_focus = target;
    }
    if (name == "mouse-button" && !isPress) m_capture = nullptr;
    if (!target || !target->classRecord().findEvent(name)) return nullptr;
    return target->runEvent(name, args);
}

CError* CWindowRenderer::routeKey(const CString& name, CParamList& args) {
    if (!m_focus || !m_focus->classRecord().findEvent(name)) return nullptr;
    return m_focus->runEvent(name, args);
}

bool CWindowRenderer::onWheelStep(int32_t delta) {
    CParamList args;
    for (const char* name : {"x", "y", "is-button-l", "is-button-r", "is-alt", "is-ctrl", "is-shift"})
        args.setInt(name, m_mouseState.toInt(name));
    args.setInt("delta", delta);
    onWindowEvent("mouse-wheel", args);
    return true;
}

void CWindowRenderer::onWindowEvent(const CString& name, CParamList& args) {
    if (m_isTearingDown || !classRecord().findEvent(name)) return;
    if (CError* error = runEvent(name, args)) qelErrReport(error);
}

} // namespace qel
