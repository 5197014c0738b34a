#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "Core/CAttrValue.h"
#include "Core/CError.h"
#include "Core/CString.h"

namespace qel {

struct SPlatformRect {
    int32_t x = 0, y = 0, width = 0, height = 0;
};

struct SPlatformWindowSpec {
    uintptr_t parent = 0;                        // host's X window id for embedded windows
    int32_t x = 0, y = 0, width = 1, height = 1; // device pixels; relative to parent when embedded
    bool isEmbedded = false;   // InputOutput child of parent, _XEMBED_INFO {0, mapped}, mapped by us
    bool isMainWindow = false; // other windows are pop-ups: override-redirect, never take focus
    CString className;         // WM_CLASS class, e.g. "Quelmar Emberline VST2 UIWindow"
    CString title;
};

class CPlatformWindowListener {
public:
    virtual ~CPlatformWindowListener() = default;
    // UI thread; name is a framework event name ("mouse-move", "paint", ...), args its arguments. The
    // listener may destroy the window from here.
    virtual void onWindowEvent(const CString& name, CParamList& args) = 0;
};

// One framework window on the display, owned and used on the user-interface thread (CUIThread) only.
// The library keeps its own display connection for its windows, opened with the first window and
// closed with the last.
class CPlatformWindow {
public:
    // UI thread only.
    static CError* create(const SPlatformWindowSpec& spec, CPlatformWindowListener& listener,
                          std::unique_ptr<CPlatformWindow>& window);
    virtual ~CPlatformWindow(); // survives the host having destroyed the parent already

    virtual void setBounds(int32_t x, int32_t y, int32_t width, int32_t height) = 0;
    virtual void setVisible(bool visible) = 0; // windows are shown when created
    virtual void screenOrigin(int32_t& x, int32_t& y) const = 0;
    // Copies the given rectangles of a back buffer (32-bit premultiplied BGRA, rows packed, width x
    // height) to the window; rectangles are clipped to the buffer.
    virtual void present(const uint32_t* pixels, int32_t width, int32_t height,
                         const std::vector<SPlatformRect>& rects) = 0;
    virtual uint32_t presentedFrames() const = 0; // presents completed; any thread
    virtual bool usesShm() const = 0;
    virtual uintptr_t nativeId() const = 0;
    virtual void takeFocus() = 0;
    // Destroyed by the server: the parent went away.
    virtual bool isDestroyed() const = 0;

    // Process-wide keyboard-focus switch: embedded windows take the focus on a button press (default on).
    static void setFocusOnClick(bool on);
    static bool focusOnClick();
    // Tests: force the non-SHM path (read when a window is created).
    static void setShmAllowed(bool allowed);
    static bool shmAllowed();
};

} // namespace qel
