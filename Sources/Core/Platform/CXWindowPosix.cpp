#include "Core/Platform/CXWindowPosix.h"

#include <poll.h>
#include <sys/ipc.h>
#include <sys/shm.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>

#include "Core/Platform/CKeyTranslator.h"
#include "Core/Platform/CUIThread.h"
#include "Core/Platform/XConnectionPosix.h"

// How X events become the framework's window events, with the arguments of the same events on the
// other platform:
//   Expose, merged per window          "paint": x, y, width, height (device pixels)
//   MotionNotify, runs merged          "mouse-move": x, y (screen), is-button-l/r, is-alt/ctrl/shift
//   ButtonPress/Release 1, 2, 3        "mouse-button": button 'L'/'M'/'R', is-button-down,
//                                      is-double-click (second press within 500 ms and 4 pixels)
//   ButtonPress 4, 5                   "mouse-wheel": delta +1/-1 (releases ignored)
//   ButtonPress/Release 8, 9           "mouse-xbutton": xbutton 2/1, is-xbutton1/2 swapped alike
//   LeaveNotify, once per entry        "mouse-exit"
//   KeyPress/KeyRelease                "key-press"/"key-release", one per UTF-16 unit (auto-repeat
//                                      gives presses only)
//   FocusIn, FocusOut                  "activate-window"; "deactivate-window" then "focus-lost"
//   ClientMessage WM_DELETE_WINDOW     "close-app"
// Pressed-button flags give the state after the event, as the other platform reports them.

namespace qel {

namespace {

constexpr uint16_t kShiftMask = XCB_MOD_MASK_SHIFT;
constexpr uint16_t kControlMask = XCB_MOD_MASK_CONTROL;
constexpr uint16_t kAltMask = XCB_MOD_MASK_1;
constexpr uint16_t kButton1Mask = XCB_BUTTON_MASK_1;
constexpr uint16_t kButton3Mask = XCB_BUTTON_MASK_3;
constexpr uint32_t kDoubleClickMs = 500;
constexpr int32_t kDoubleClickDistance = 4;
constexpr int kShmWaitMs = 250;

void addModifiers(CParamList& args, uint16_t state) {
    args.setInt("is-alt", (state & kAltMask) ? 1 : 0);
    args.setInt("is-ctrl", (state & kControlMask) ? 1 : 0);
    args.setInt("is-shift", (state & kShiftMask) ? 1 : 0);
}

void addPointer(CParamList& args, int32_t x, int32_t y, uint16_t state) {
    args.setInt("x", x);
    args.setInt("y", y);
    args.setInt("is-button-l", (state & kButton1Mask) ? 1 : 0);
    args.setInt("is-button-r", (state & kButton3Mask) ? 1 : 0);
    addModifiers(args, state);
}

} // namespace

CError* CXWindow::createError(int code) {
    return QEL_ERROR({}, "@qelstr_CWindow_createWindow_CreateError Unable to create window (error %1).",
                     code);
}

CError* CXWindow::init() {
    SXConnection& x = *xConnection();
    xcb_window_t parent = x.screen->root;
    if (m_spec.isEmbedded) {
        parent = xcb_window_t(m_spec.parent);
        xcb_get_geometry_reply_t* geometry =
            m_spec.parent ? xcb_get_geometry_reply(x.c, xcb_get_geometry(x.c, parent), nullptr) : nullptr;
        if (!geometry)
            return QEL_ERROR({},
                             "@qelstr_CWindow_createWindow_NoParentWindow Unable to locate parent window.");
        free(geometry);
    }

    m_id = xcb_generate_id(x.c);
    // The screen's own visual with an explicit colormap and border, so that a parent of another
    // depth (a host's ARGB window) still takes us; no background, so nothing erases the frame.
    xcb_create_window_value_list_t values{};
    values.background_pixmap = XCB_BACK_PIXMAP_NONE;
    values.border_pixel = 0;
    values.bit_gravity = XCB_GRAVITY_NORTH_WEST; // a larger window keeps what it shows
    values.override_redirect = !m_spec.isEmbedded && !m_spec.isMainWindow;
    values.event_mask = XCB_EVENT_MASK_EXPOSURE | XCB_EVENT_MASK_STRUCTURE_NOTIFY |
                        XCB_EVENT_MASK_BUTTON_PRESS | XCB_EVENT_MASK_BUTTON_RELEASE |
                        XCB_EVENT_MASK_POINTER_MOTION | XCB_EVENT_MASK_LEAVE_WINDOW |
                        XCB_EVENT_MASK_KEY_PRESS | XCB_EVENT_MASK_KEY_RELEASE | XCB_EVENT_MASK_FOCUS_CHANGE;
    // Input that reaches our window is ours: none of it climbs on to the host's windows.
    values.do_not_propogate_mask = XCB_EVENT_MASK_KEY_PRESS | XCB_EVENT_MASK_KEY_RELEASE |
                                   XCB_EVENT_MASK_BUTTON_PRESS | XCB_EVENT_MASK_BUTTON_RELEASE |
                                   XCB_EVENT_MASK_POINTER_MOTION;
    values.colormap = x.screen->default_colormap;
    const uint32_t mask = XCB_CW_BACK_PIXMAP | XCB_CW_BORDER_PIXEL | XCB_CW_BIT_GRAVITY |
                          XCB_CW_OVERRIDE_REDIRECT | XCB_CW_EVENT_MASK | XCB_CW_DONT_PROPAGATE |
                          XCB_CW_COLORMAP;
    xcb_generic_error_t* error = xcb_request_check(
        x.c, xcb_create_window_aux_checked(
                 x.c, x.screen->root_depth, m_id, parent, int16_t(m_spec.x), int16_t(m_spec.y),
                 uint16_t(std::max(m_spec.width, 1)), uint16_t(std::max(m_spec.height, 1)), 0,
                 XCB_WINDOW_CLASS_INPUT_OUTPUT, x.screen->root_visual, mask, &values));
    if (error) {
        const int code = error->error_code == XCB_WINDOW ? 0 : error->error_code;
        free(error);
        m_id = 0;
        if (code == 0)
            return QEL_ERROR({},
                             "@qelstr_CWindow_createWindow_NoParentWindow Unable to locate parent window.");
        return CXWindow::createError(code);
    }
    x.windows[m_id] = this;

    std::string className = m_spec.className.toUtf8();
    std::string wmClass = className + '\0' + className + '\0';
    xcb_change_property(x.c, XCB_PROP_MODE_REPLACE, m_id, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 8,
                        uint32_t(wmClass.size()), wmClass.data());
    // WM_NAME is Latin-1, which narrow strings hold already; _NET_WM_NAME carries any title.
    std::string title = m_spec.title.toUtf8();
    if (!m_spec.title.isWide())
        xcb_change_property(x.c, XCB_PROP_MODE_REPLACE, m_id, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8,
                            uint32_t(m_spec.title.length()), m_spec.title.c8());
    xcb_change_property(x.c, XCB_PROP_MODE_REPLACE, m_id, x.netWmName, x.utf8String, 8,
                        uint32_t(title.size()), title.data());
    if (m_spec.isEmbedded) {
        const uint32_t xembed[2] = {0, 1}; // version 0, mapped
        xcb_change_property(x.c, XCB_PROP_MODE_REPLACE, m_id, x.xembedInfo, x.xembedInfo, 32, 2, xembed);
    } else if (m_spec.isMainWindow) {
        xcb_change_property(x.c, XCB_PROP_MODE_REPLACE, m_id, x.wmProtocols, XCB_ATOM_ATOM, 32, 1,
                            &x.wmDeleteWindow);
    }

    m_gc = xcb_generate_id(x.c);
    const uint32_t noExposures = 0;
    xcb_create_gc(x.c, m_gc, m_id, XCB_GC_GRAPHICS_EXPOSURES, &noExposures);
    m_useShm = x.shmAvailable && CPlatformWindow::shmAllowed();
    xcb_map_window(x.c, m_id);
    xcb_flush(x.c);
    return nullptr;
}

CXWindow::~CXWindow() {
    *m_alive = false;
    if (!xConnection()) return;
    SXConnection& x = *xConnection();
    releaseSegment();
    if (m_id) {
        // A window the server already destroyed with its parent only earns an error event.
        if (m_gc) xcb_free_gc(x.c, m_gc);
        xcb_destroy_window(x.c, m_id);
        x.windows.erase(m_id);
        xcb_flush(x.c);
    }
    xCloseConnectionIfUnused();
}

bool CXWindow::emit(const char* name, CParamList& args) {
    std::shared_ptr<bool> alive = m_alive;
    m_listener.onWindowEvent(CString(name), args);
    return *alive;
}

void CXWindow::handle(const xcb_generic_event_t* event, const xcb_generic_event_t* next) {
    const uint8_t type = event->response_type & 0x7f;
    switch (type) {
    case XCB_MOTION_NOTIFY: {
        const auto* motion = reinterpret_cast<const xcb_motion_notify_event_t*>(event);
        // Only the last of a run of moves counts, as the other platform coalesces them.
        if (next && (next->response_type & 0x7f) == XCB_MOTION_NOTIFY &&
            reinterpret_cast<const xcb_motion_notify_event_t*>(next)->event == m_id)
            return;
        m_trackingMouse = true;
        CParamList args;
        addPointer(args, motion->root_x, motion->root_y, motion->state);
        emit("mouse-move", args);
        return;
    }
    case XCB_BUTTON_PRESS:
    case XCB_BUTTON_RELEASE:
        handleButton(reinterpret_cast<const xcb_button_press_event_t*>(event), type == XCB_BUTTON_PRESS);
        return;
    case XCB_LEAVE_NOTIFY: {
        const auto* leave = reinterpret_cast<const xcb_leave_notify_event_t*>(event);
        if (leave->detail == XCB_NOTIFY_DETAIL_INFERIOR || leave->mode != XCB_NOTIFY_MODE_NORMAL) return;
        if (!m_trackingMouse) return;
        m_trackingMouse = false;
        CParamList args;
        emit("mouse-exit", args);
        return;
    }
    case XCB_KEY_PRESS:
        handleKey(reinterpret_cast<const xcb_key_press_event_t*>(event), true);
        return;
    case XCB_KEY_RELEASE: {
        const auto* key = reinterpret_cast<const xcb_key_release_event_t*>(event);
        // Auto-repeat sends release and press with one time stamp: only the presses are reported.
        if (next && (next->response_type & 0x7f) == XCB_KEY_PRESS) {
            const auto* press = reinterpret_cast<const xcb_key_press_event_t*>(next);
            if (press->detail == key->detail && press->time == key->time && press->event == key->event)
                return;
        }
        handleKey(key, false);
        return;
    }
    case XCB_FOCUS_IN:
    case XCB_FOCUS_OUT:
        handleFocus(reinterpret_cast<const xcb_focus_in_event_t*>(event), type == XCB_FOCUS_IN);
        return;
    case XCB_CLIENT_MESSAGE: {
        const auto* message = reinterpret_cast<const xcb_client_message_event_t*>(event);
        if (message->type == xConnection()->wmProtocols && message->format == 32 &&
            message->data.data32[0] == xConnection()->wmDeleteWindow) {
            CParamList args;
            emit("close-app", args);
        }
        return;
    }
    case XCB_DESTROY_NOTIFY:
        m_destroyed = true;
        m_shmPending = false;
        return;
    default:
        return;
    }
}

void CXWindow::handleButton(const xcb_button_press_event_t* event, bool press) {
    const uint8_t button = event->detail;
    const int32_t x = event->root_x, y = event->root_y;
    if (button == 4 || button == 5) {
        if (!press) return;
        CParamList args;
        args.setInt("delta", button == 4 ? 1 : -1);
        addPointer(args, x, y, event->state);
        emit("mouse-wheel", args);
        return;
    }
    if (button == 8 || button == 9) {
        const uint8_t bit = button == 8 ? 1 : 2;
        if (press)
            m_extendedDown |= bit;
        else
            m_extendedDown &= uint8_t(~bit);
        CParamList args;
        args.setInt("is-button-down", press ? 1 : 0);
        args.setInt("is-ctrl", (event->state & kControlMask) ? 1 : 0);
        args.setInt("is-shift", (event->state & kShiftMask) ? 1 : 0);
        // The first extended button is reported as button 2 and the second as 1, with the
        // pressed flags swapped alike.
        args.setInt("is-xbutton1", (m_extendedDown & 2) ? 1 : 0);
        args.setInt("is-xbutton2", (m_extendedDown & 1) ? 1 : 0);
        args.setInt("xbutton", button == 8 ? 2 : 1);
        emit("mouse-xbutton", args);
        return;
    }
    if (button < 1 || button > 3) return;

    uint16_t state = event->state;
    const uint16_t mask = uint16_t(XCB_BUTTON_MASK_1 << (button - 1));
    state = press ? uint16_t(state | mask) : uint16_t(state & ~mask);
    bool doubleClick = false;
    if (press) {
        doubleClick = m_lastButton == button && event->time - m_lastPressTime <= kDoubleClickMs &&
                      std::abs(x - m_lastPressX) <= kDoubleClickDistance &&
                      std::abs(y - m_lastPressY) <= kDoubleClickDistance;
        // A third press starts over.
        m_lastButton = doubleClick ? 0 : button;
        m_lastPressTime = event->time;
        m_lastPressX = x;
        m_lastPressY = y;
        if (CPlatformWindow::focusOnClick() && m_spec.isEmbedded && !m_destroyed) {
            xcb_set_input_focus(xConnection()->c, XCB_INPUT_FOCUS_PARENT, m_id, event->time);
            // Sent before the click is handled: whatever the click starts sees us focused.
            xcb_flush(xConnection()->c);
        }
    }
    CParamList args;
    addPointer(args, x, y, state);
    args.setInt("button", button == 1 ? 'L' : button == 2 ? 'M' : 'R');
    args.setInt("is-button-down", press ? 1 : 0);
    args.setInt("is-double-click", doubleClick ? 1 : 0);
    emit("mouse-button", args);
}

void CXWindow::handleKey(const xcb_key_press_event_t* event, bool press) {
    if (!xConnection()->keys) return;
    const std::vector<SKeyEventArgs> keys = xConnection()->keys->translate(event->detail, event->state);
    for (const SKeyEventArgs& key : keys) {
        CParamList args;
        args.setInt("is-alt", key.isAlt ? 1 : 0);
        args.setInt("is-ctrl", key.isCtrl ? 1 : 0);
        args.setInt("is-shift", key.isShift ? 1 : 0);
        args.setInt("keycode", key.keycode);
        if (!emit(press ? "key-press" : "key-release", args)) return;
    }
}

void CXWindow::handleFocus(const xcb_focus_in_event_t* event, bool in) {
    // Pointer-root bookkeeping and grabs (a menu of the host, say) do not move the focus for good.
    if (event->detail == XCB_NOTIFY_DETAIL_POINTER || event->detail == XCB_NOTIFY_DETAIL_INFERIOR ||
        event->mode == XCB_NOTIFY_MODE_GRAB || event->mode == XCB_NOTIFY_MODE_UNGRAB)
        return;
    CParamList args;
    if (in) {
        emit("activate-window", args);
        return;
    }
    if (!emit("deactivate-window", args)) return;
    CParamList lost;
    emit("focus-lost", lost);
}

void CXWindow::addExpose(const xcb_expose_event_t* event) {
    const SPlatformRect rect{event->x, event->y, event->width, event->height};
    m_exposeComplete = event->count == 0;
    if (!m_hasExpose) {
        m_expose = rect;
        m_hasExpose = true;
        return;
    }
    const int32_t right = std::max(m_expose.x + m_expose.width, rect.x + rect.width);
    const int32_t bottom = std::max(m_expose.y + m_expose.height, rect.y + rect.height);
    m_expose.x = std::min(m_expose.x, rect.x);
    m_expose.y = std::min(m_expose.y, rect.y);
    m_expose.width = right - m_expose.x;
    m_expose.height = bottom - m_expose.y;
}

void CXWindow::flushExpose() {
    // The rest of a series may still be on its way: it joins this rectangle.
    if (!m_hasExpose || !m_exposeComplete) return;
    m_hasExpose = false;
    CParamList args;
    args.setInt("x", m_expose.x);
    args.setInt("y", m_expose.y);
    args.setInt("width", m_expose.width);
    args.setInt("height", m_expose.height);
    emit("paint", args);
}

void CXWindow::setBounds(int32_t x, int32_t y, int32_t width, int32_t height) {
    if (m_destroyed) return;
    const uint32_t values[4] = {uint32_t(x), uint32_t(y), uint32_t(std::max(width, 1)),
                                uint32_t(std::max(height, 1))};
    xcb_configure_window(xConnection()->c, m_id,
                         XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y | XCB_CONFIG_WINDOW_WIDTH |
                             XCB_CONFIG_WINDOW_HEIGHT,
                         values);
    xcb_flush(xConnection()->c);
}

void CXWindow::setVisible(bool visible) {
    if (m_destroyed) return;
    if (visible)
        xcb_map_window(xConnection()->c, m_id);
    else
        xcb_unmap_window(xConnection()->c, m_id);
    xcb_flush(xConnection()->c);
}

void CXWindow::screenOrigin(int32_t& x, int32_t& y) const {
    x = y = 0;
    if (m_destroyed) return;
    xcb_translate_coordinates_reply_t* reply = xcb_translate_coordinates_reply(
        xConnection()->c,
        xcb_translate_coordinates(xConnection()->c, m_id, xConnection()->screen->root, 0, 0), nullptr);
    if (!reply) return;
    x = reply->dst_x;
    y = reply->dst_y;
    free(reply);
}

void CXWindow::takeFocus() {
    if (m_destroyed) return;
    xcb_set_input_focus(xConnection()->c, XCB_INPUT_FOCUS_PARENT, m_id, XCB_CURRENT_TIME);
    xcb_flush(xConnection()->c);
}

void CXWindow::completePresent(bool drawn) {
    m_shmPending = false;
    if (drawn) m_presented.fetch_add(1, std::memory_order_acq_rel);
}

// The segment is reused, so the server must have read the last frame before the next is written.
void CXWindow::waitForShm() {
    SXConnection& x = *xConnection();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kShmWaitMs);
    xcb_flush(x.c);
    while (m_shmPending && !m_destroyed && !xcb_connection_has_error(x.c)) {
        if (xcb_generic_event_t* event = xcb_poll_for_event(x.c)) {
            if (xConsumePresentEvent(event)) {
                free(event);
            } else {
                if ((event->response_type & 0x7f) == XCB_DESTROY_NOTIFY &&
                    reinterpret_cast<xcb_destroy_notify_event_t*>(event)->window == m_id)
                    m_destroyed = true;
                x.stash.push_back(event);
            }
            continue;
        }
        const int left = int(
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now())
                .count());
        if (left <= 0) break;
        pollfd fd{x.fd, POLLIN, 0};
        poll(&fd, 1, left);
    }
    m_shmPending = false;
    // Events were read here, out of the loop's sight.
    if (!x.stash.empty()) CUIThread::instance().post([] {});
}

bool CXWindow::ensureSegment(size_t bytes) {
    if (m_shmAddress && m_shmBytes >= bytes) return true;
    releaseSegment();
    SXConnection& x = *xConnection();
    m_shmId = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
    if (m_shmId < 0) return false;
    void* address = shmat(m_shmId, nullptr, 0);
    if (address == reinterpret_cast<void*>(-1)) {
        shmctl(m_shmId, IPC_RMID, nullptr);
        m_shmId = -1;
        return false;
    }
    m_shmSegment = xcb_generate_id(x.c);
    xcb_generic_error_t* error =
        xcb_request_check(x.c, xcb_shm_attach_checked(x.c, m_shmSegment, uint32_t(m_shmId), 1));
    // Marked for removal at once: it goes away with the last attachment, even if we crash.
    shmctl(m_shmId, IPC_RMID, nullptr);
    if (error) {
        free(error);
        shmdt(address);
        m_shmId = -1;
        m_shmSegment = 0;
        return false;
    }
    m_shmAddress = static_cast<uint8_t*>(address);
    m_shmBytes = bytes;
    return true;
}

void CXWindow::releaseSegment() {
    if (!m_shmAddress) return;
    xcb_shm_detach(xConnection()->c, m_shmSegment);
    shmdt(m_shmAddress);
    m_shmAddress = nullptr;
    m_shmBytes = 0;
    m_shmId = -1;
    m_shmSegment = 0;
    m_shmPending = false;
}

void CXWindow::putImage(const uint32_t* pixels, int32_t stride, const SPlatformRect& rect) {
    SXConnection& x = *xConnection();
    constexpr size_t kHeader = 24; // the PutImage request before its data
    const size_t rowBytes = size_t(rect.width) * 4;
    const int32_t rowsPerRequest = int32_t(std::max<size_t>((x.maxRequestBytes - kHeader) / rowBytes, 1));
    for (int32_t row = 0; row < rect.height; row += rowsPerRequest) {
        const int32_t rows = std::min(rowsPerRequest, rect.height - row);
        m_rows.resize(rowBytes * size_t(rows));
        for (int32_t r = 0; r < rows; ++r)
            memcpy(m_rows.data() + size_t(r) * rowBytes,
                   pixels + size_t(rect.y + row + r) * size_t(stride) + size_t(rect.x), rowBytes);
        xcb_put_image(x.c, XCB_IMAGE_FORMAT_Z_PIXMAP, m_id, m_gc, uint16_t(rect.width), uint16_t(rows),
                      int16_t(rect.x), int16_t(rect.y + row), 0, x.screen->root_depth,
                      uint32_t(m_rows.size()), m_rows.data());
    }
}

void CXWindow::present(const uint32_t* pixels, int32_t width, int32_t height,
                       const std::vector<SPlatformRect>& rects) {
    if (m_destroyed || !pixels || width <= 0 || height <= 0 || xcb_connection_has_error(xConnection()->c))
        return;
    std::vector<SPlatformRect> clipped;
    for (const SPlatformRect& rect : rects) {
        const int32_t left = std::max(rect.x, 0), top = std::max(rect.y, 0);
        const int32_t right = std::min(rect.x + rect.width, width);
        const int32_t bottom = std::min(rect.y + rect.height, height);
        if (right > left && bottom > top) clipped.push_back({left, top, right - left, bottom - top});
    }
    if (clipped.empty()) return;
    SXConnection& x = *xConnection();

    if (m_useShm) {
        waitForShm();
        if (m_destroyed) return;
        if (ensureSegment(size_t(width) * size_t(height) * 4)) {
            xcb_void_cookie_t cookie{};
            for (size_t i = 0; i < clipped.size(); ++i) {
                const SPlatformRect& rect = clipped[i];
                for (int32_t row = rect.y; row < rect.y + rect.height; ++row) {
                    const size_t offset = (size_t(row) * size_t(width) + size_t(rect.x)) * 4;
                    memcpy(m_shmAddress + offset, reinterpret_cast<const uint8_t*>(pixels) + offset,
                           size_t(rect.width) * 4);
                }
                // Only the last request reports completion; requests run in order.
                const bool last = i + 1 == clipped.size();
                cookie = xcb_shm_put_image(
                    x.c, m_id, m_gc, uint16_t(width), uint16_t(height), uint16_t(rect.x), uint16_t(rect.y),
                    uint16_t(rect.width), uint16_t(rect.height), int16_t(rect.x), int16_t(rect.y),
                    x.screen->root_depth, XCB_IMAGE_FORMAT_Z_PIXMAP, last ? 1 : 0, m_shmSegment, 0);
            }
            m_shmPending = true;
            m_shmSequence = cookie.sequence;
            xcb_flush(x.c);
            return;
        }
        m_useShm = false; // the segment could not be had: copy through the connection from now on
    }

    for (const SPlatformRect& rect : clipped)
        putImage(pixels, width, rect);
    // A round trip: once it returns the server has drawn the image.
    free(xcb_get_input_focus_reply(x.c, xcb_get_input_focus(x.c), nullptr));
    if (!m_destroyed) m_presented.fetch_add(1, std::memory_order_acq_rel);
}

} // namespace qel
