#pragma once

#include <xcb/shm.h>
#include <xcb/xcb.h>

#include <atomic>
#include <memory>
#include <vector>

#include "Core/Platform/CPlatformWindow.h"

namespace qel {

// A framework window on the library's display connection (XConnectionPosix); UI thread only.
class CXWindow final : public CPlatformWindow {
public:
    CXWindow(const SPlatformWindowSpec& spec, CPlatformWindowListener& listener)
        : m_spec(spec), m_listener(listener) {}
    ~CXWindow() override;

    CError* init();
    static CError* createError(int code);
    void setBounds(int32_t x, int32_t y, int32_t width, int32_t height) override;
    void setVisible(bool visible) override;
    void screenOrigin(int32_t& x, int32_t& y) const override;
    void present(const uint32_t* pixels, int32_t width, int32_t height,
                 const std::vector<SPlatformRect>& rects) override;
    uint32_t presentedFrames() const override { return m_presented.load(std::memory_order_acquire); }
    bool usesShm() const override { return m_useShm; }
    uintptr_t nativeId() const override { return m_id; }
    void takeFocus() override;
    bool isDestroyed() const override { return m_destroyed; }

    // Dispatch, UI thread.
    void handle(const xcb_generic_event_t* event, const xcb_generic_event_t* next);
    void addExpose(const xcb_expose_event_t* event);
    void flushExpose();
    void markDestroyed() { m_destroyed = true; }
    // Completion or failure of the pending shared-memory present.
    bool matchesPending(uint32_t sequence) const { return m_shmPending && sequence == m_shmSequence; }
    void completePresent(bool drawn);

private:
    // False when the listener destroyed the window.
    bool emit(const char* name, CParamList& args);
    void handleButton(const xcb_button_press_event_t* event, bool press);
    void handleKey(const xcb_key_press_event_t* event, bool press);
    void handleFocus(const xcb_focus_in_event_t* event, bool in);
    void waitForShm();
    bool ensureSegment(size_t bytes);
    void releaseSegment();
    void putImage(const uint32_t* pixels, int32_t stride, const SPlatformRect& rect);

    const SPlatformWindowSpec m_spec;
    CPlatformWindowListener& m_listener;
    xcb_window_t m_id = 0;
    xcb_gcontext_t m_gc = 0;
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
    bool m_destroyed = false;
    bool m_trackingMouse = false;
    bool m_hasExpose = false;
    bool m_exposeComplete = true;
    SPlatformRect m_expose;
    // The last press that could start a double click.
    uint8_t m_lastButton = 0;
    uint32_t m_lastPressTime = 0;
    int32_t m_lastPressX = 0, m_lastPressY = 0;
    uint8_t m_extendedDown = 0; // bit 0: X button 8, bit 1: X button 9 (the core state lacks them)

    bool m_useShm = false;
    int m_shmId = -1;
    uint8_t* m_shmAddress = nullptr;
    size_t m_shmBytes = 0;
    xcb_shm_seg_t m_shmSegment = 0;
    bool m_shmPending = false;
    uint32_t m_shmSequence = 0;
    std::atomic<uint32_t> m_presented{0};
    std::vector<uint8_t> m_rows; // put_image staging
};

} // namespace qel
