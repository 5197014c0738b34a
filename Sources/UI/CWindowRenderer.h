#pragma once

#include <atomic>
#include <memory>
#include <vector>

#include "Core/CObject.h"
#include "Core/Platform/CPlatformWindow.h"
#include "Other/CBitmap.h"
#include "UI/CSectorMap.h"
#include "UI/SViewRect.h"

namespace qel {

class CTimerQueued;
class CView;

// "ui:window-renderer": the object behind one window of the editor. It creates the system window on
// its first timer tick, turns the views' update requests into dirty tiles, draws the tiles into the
// back buffer on the user-interface thread and up to seven pooled workers, and copies the result to
// the screen. Input events of the system window arrive as framework events and go on to the view
// under the mouse (or the one that captured it during a drag) and to the view with the keyboard
// focus. Everything but tile drawing runs on the user-interface thread.
class CWindowRenderer : public CObject, public CPlatformWindowListener {
public:
    static constexpr int32_t kMaxWorkers = 7;

    ~CWindowRenderer() override;
    CError* init() override;
    CError* initComplete() override;
    void detachFromParent() override;

    CView* rootView() const { return m_rootView; }
    double scale() const { return m_scale; }
    int32_t deviceWidth() const { return m_sectors.width(); }
    int32_t deviceHeight() const { return m_sectors.height(); }
    bool isCreated() const { return m_isCreated; }
    int32_t windowNumber() const { return m_windowNumber; }

    // Views: a rectangle (root-view units) to draw again next frame; a view going away.
    void requestUpdate(const SViewRect& rect);
    void forgetView(CView* view);
    // Every view prepared again and every tile drawn again (scale or colours changed).
    void invalidateAll();
    // Every tile drawn again from what the views have prepared (the screen lost the picture).
    void repaintAll();
    // The same for every window of the tree that holds object.
    static void invalidateAllWindows(CObject* object);

    // The render timer's tick: creates the window once it can, then draws a frame.
    CError* onTick();
    CError* renderPass();
    // The whole window drawn into the back buffer, with no system window (snapshots).
    CError* renderOffscreen(CBitmap& picture);
    // Applies the root view's scale (mode 0), or the scale the editor was opened with (mode 1).
    CError* onUpdateWindowScale(int32_t mode);
    CError* restoreWindowPosition();

    const CBitmap& backBuffer() const { return m_backBuffer; }
    // Tests and benchmarks: what the last frame did.
    int32_t lastWorkerCount() const { return m_lastWorkerCount; }
    int32_t lastTilesDrawn() const { return m_lastTilesDrawn; }
    uint32_t presentedFrames() const { return m_presentedFrames.load(); }

    // min(ceil(numThreads x processors) - 1, 7), and fewer than the dirty tiles.
    static int32_t workerCount(double numThreads, int32_t processors, int32_t dirtyTiles);
    // Tests: the processor count the worker formula uses (0 = the machine's).
    static void setProcessorCount(int32_t count);

    void onWindowEvent(const CString& name, CParamList& args) override;
    // A wheel step the host reported: a "mouse-wheel" at the last known mouse position and state.
    bool onWheelStep(int32_t delta);

    static void initClass(CClassRecord& record);

    // Input: to the view under the mouse (or the one that captured it), keys to the focused view.
    CError* routeMouse(const CString& name, CParamList& args);
    CError* routeKey(const CString& name, CParamList& args);

private:
    CError* createWindow();
    CError* createTimers();
    CError* onPaint(CParamList& args);
    CError* applyScale();
    CError* collectDrawLists();
    void collectViews(CView* view, CSector& sector);
    void drawQueuedTiles();
    void drawTile(int32_t index);
    void present(const std::vector<SPixelRect>& rects);
    void computePosition(int32_t width, int32_t height, int32_t& x, int32_t& y);

    CView* m_rootView = nullptr;
    std::unique_ptr<CPlatformWindow> m_platformWindow;
    CSectorMap m_sectors;
    CBitmap m_backBuffer;
    uint32_t m_background = 0xff000000u;
    std::vector<SViewRect> m_updateRequests;
    CTimerQueued* m_renderTimer = nullptr;
    double m_scale = 1.0;
    int32_t m_frameCounter = 0;
    int32_t m_windowNumber = 0;
    int32_t m_windowX = 0, m_windowY = 0;
    int32_t m_lastWorkerCount = 0;
    int32_t m_lastTilesDrawn = 0;
    std::atomic<uint32_t> m_presentedFrames{0};
    bool m_isMainWindow = false;
    bool m_isEmbedded = false;
    bool m_isCreated = false;
    bool m_isOffscreen = false;
    bool m_createFailed = false;
    bool m_isFirstRenderDone = false;
    bool m_isTearingDown = false;
    bool m_positionChanged = false;
    CView* m_capture = nullptr;
    CView* m_focus = nullptr;
    CView* m_hover = nullptr;
    CParamList m_mouseState;
};

} // namespace qel
