#include "Core/Platform/CPlatformWindow.h"

#include <poll.h>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <xcb/shm.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>

#include "Core/Platform/CKeyTranslator.h"
#include "Core/Platform/CUIThread.h"

// How X events become the framework's window events (the arguments are those of the equivalent
// messages elsewhere):
//   Expose (merged per window over one drain)  -> "paint" x, y, width, height (device pixels)
//   MotionNotify (runs merged)                 -> "mouse-move" x, y (screen), is-button-l/r,
//   is-alt/ctrl/shift ButtonPress/Release 1/2/3                  -> "mouse-button" button 'L'/'M'/'R',
//   is-button-down,
//                                                 is-double-click (second press within 500 ms and 4 px)
//   ButtonPress 4/5 (releases ignored)         -> "mouse-wheel" delta +1/-1
//   ButtonPress/Release 8/9                    -> "mouse-xbutton" xbutton 2/1, is-xbutton1/2 swapped
//   LeaveNotify (once per motion after it)     -> "mouse-exit"
//   KeyPress/KeyRelease (auto-repeat: presses) -> "key-press"/"key-release" per UTF-16 unit
//   FocusIn / FocusOut                         -> "activate-window" / "deactivate-window", "focus-lost"
//   ClientMessage WM_DELETE_WINDOW             -> "close-app"
// Pressed-button flags describe the state after the event, as the other platform reports them.

namespace qel {

namespace {

std::atomic<bool> g_focusOnClick{true};
std::atomic<bool> g_shmAllowed{true};

constexpr uint16_t kShiftMask = XCB_MOD_MASK_SHIFT;
constexpr uint16_t kControlMask = XCB_MOD_MASK_CONTROL;
constexpr uint16_t kAltMask = XCB_MOD_MASK_1;
constexpr uint16_t kButton1Mask = XCB_BUTTON_MASK_1;
constexpr uint16_t kButton3Mask = XCB_BUTTON_MASK_3;
constexpr uint32_t kDoubleClickMs = 500;
constexpr int32_t kDoubleClickDistance = 4;
constexpr int kShmWaitMs = 250;
// Drains per loop pass; handlers that keep producing events get the next pass.
constexpr int kMaxDrains = 8;

CError* createError(int code) {
    return QEL_ERROR({}, "@qelstr_CWindow_createWindow_CreateError Unable to create window (error %1).",
                     code);
}

class CXWindow;

// The library's own display connection, shared by all its windows; UI thread only.
struct SConnection {
    xcb_connection_t* c = nullptr;
    xcb_screen_t* screen = nullptr;
    int fd = -1;
    xcb_atom_t wmProtocols = 0, wmDeleteWindow = 0, xembedInfo = 0, netWmName = 0, utf8String = 0;
    bool shmAvailable = false;
    uint8_t shmCompletionEvent = 0;
    size_t maxRequestBytes = 0;
    std::unique_ptr<CKeyTranslator> keys;
    std::map<xcb_window_t, CXWindow*> windows;
    // Events read while a present waited for its completion, handled by the next drain.
    std::deque<xcb_generic_event_t*> stash;
    int dispatchDepth = 0;
};

SConnection* g_connection = nullptr;

xcb_atom_t internAtom(xcb_connection_t* c, const char* name) {
    xcb_intern_atom_reply_t* reply =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(strlen(name)), name), nullptr);
    const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    free(reply);
    return atom;
}

// The run-time check: the server must be able to attach a segment of ours (it cannot when remote).
bool checkShm(xcb_connection_t* c) {
    xcb_shm_query_version_reply_t* version =
        xcb_shm_query_version_reply(c, xcb_shm_query_version(c), nullptr);
    if (!version) return false;
    free(version);
    const int id = shmget(IPC_PRIVATE, 4096, IPC_CREAT | 0600);
    if (id < 0) return false;
    void* address = shmat(id, nullptr, 0);
    bool attached = false;
    if (address != reinterpret_cast<void*>(-1)) {
        const xcb_shm_seg_t segment = xcb_generate_id(c);
        xcb_generic_error_t* error =
            xcb_request_check(c, xcb_shm_attach_checked(c, segment, uint32_t(id), 1));
        attached = !error;
        free(error);
        if (attached) xcb_shm_detach(c, segment);
        shmdt(address);
    }
    shmctl(id, IPC_RMID, nullptr);
    return attached;
}

void dispatchEvents();

int openConnection() {
    int screenNumber = 0;
    xcb_connection_t* c = xcb_connect(nullptr, &screenNumber);
    if (int error = xcb_connection_has_error(c)) {
        xcb_disconnect(c);
        return error;
    }
    auto connection = std::make_unique<SConnection>();
    connection->c = c;
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(c));
    for (int i = 0; i < screenNumber && screens.rem; ++i)
        xcb_screen_next(&screens);
    connection->screen = screens.rem ? screens.data : nullptr;
    // Back buffers are presented as they are: 32 bits per pixel, blue in the lowest byte.
    bool packed = false;
    for (xcb_format_iterator_t f = xcb_setup_pixmap_formats_iterator(xcb_get_setup(c)); f.rem;
         xcb_format_next(&f))
        if (connection->screen && f.data->depth == connection->screen->root_depth &&
            f.data->bits_per_pixel == 32)
            packed = true;
    if (!connection->screen || !packed || xcb_get_setup(c)->image_byte_order != XCB_IMAGE_ORDER_LSB_FIRST) {
        xcb_disconnect(c);
        return EINVAL;
    }
    connection->fd = xcb_get_file_descriptor(c);
    connection->wmProtocols = internAtom(c, "WM_PROTOCOLS");
    connection->wmDeleteWindow = internAtom(c, "WM_DELETE_WINDOW");
    connection->xembedInfo = internAtom(c, "_XEMBED_INFO");
    connection->netWmName = internAtom(c, "_NET_WM_NAME");
    connection->utf8String = internAtom(c, "UTF8_STRING");
    connection->maxRequestBytes = size_t(xcb_get_maximum_request_length(c)) * 4;
    if (const xcb_query_extension_reply_t* shm = xcb_get_extension_data(c, &xcb_shm_id);
        shm && shm->present && checkShm(c)) {
        connection->shmAvailable = true;
        connection->shmCompletionEvent = uint8_t(shm->first_event + XCB_SHM_COMPLETION);
    }
    connection->keys = CKeyTranslator::fromConnection(c);
    g_connection = connection.release();
    return 0;
}

void closeConnection() {
    SConnection* connection = g_connection;
    g_connection = nullptr;
    CUIThread::instance().removeSource(connection->fd);
    for (xcb_generic_event_t* event : connection->stash)
        free(event);
    xcb_disconnect(connection->c);
    delete connection;
}

class CXWindow final : public CPlatformWindow {
public:
    CXWindow(const SPlatformWindowSpec& spec, CPlatformWindowListener& listener)
        : m_spec(spec), m_listener(listener) {}
    ~CXWindow() override;

    CError* init();
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

CXWindow* findWindow(xcb_window_t id) {
    if (!g_connection) return nullptr;
    auto found = g_connection->windows.find(id);
    return found == g_connection->windows.end() ? nullptr : found->second;
}

// Takes an event that completes or fails a shared-memory present; false for any other event.
bool consumePresentEvent(const xcb_generic_event_t* event) {
    const uint8_t type = event->response_type & 0x7f;
    if (type == 0) {
        const auto* error = reinterpret_cast<const xcb_generic_error_t*>(event);
        for (auto& [id, window] : g_connection->windows)
            if (window->matchesPending(error->full_sequence)) {
                window->completePresent(false);
                return true;
            }
        return false;
    }
    if (g_connection->shmAvailable && type == g_connection->shmCompletionEvent) {
        const auto* completion = reinterpret_cast<const xcb_shm_completion_event_t*>(event);
        if (CXWindow* window = findWindow(completion->drawable)) window->completePresent(true);
        return true;
    }
    return false;
}

xcb_window_t eventWindow(const xcb_generic_event_t* event) {
    switch (event->response_type & 0x7f) {
    case XCB_KEY_PRESS:
    case XCB_KEY_RELEASE:
        return reinterpret_cast<const xcb_key_press_event_t*>(event)->event;
    case XCB_BUTTON_PRESS:
    case XCB_BUTTON_RELEASE:
        return reinterpret_cast<const xcb_button_press_event_t*>(event)->event;
    case XCB_MOTION_NOTIFY:
        return reinterpret_cast<const xcb_motion_notify_event_t*>(event)->event;
    case XCB_LEAVE_NOTIFY:
        return reinterpret_cast<const xcb_leave_notify_event_t*>(event)->event;
    case XCB_FOCUS_IN:
    case XCB_FOCUS_OUT:
        return reinterpret_cast<const xcb_focus_in_event_t*>(event)->event;
    case XCB_EXPOSE:
        return reinterpret_cast<const xcb_expose_event_t*>(event)->window;
    case XCB_DESTROY_NOTIFY:
        return reinterpret_cast<const xcb_destroy_notify_event_t*>(event)->window;
    case XCB_CLIENT_MESSAGE:
        return reinterpret_cast<const xcb_client_message_event_t*>(event)->window;
    default:
        return XCB_WINDOW_NONE;
    }
}

// One drain: every event the connection holds, exposes merged per window, then the paints.
bool drainOnce() {
    std::vector<xcb_generic_event_t*> events(g_connection->stash.begin(), g_connection->stash.end());
    g_connection->stash.clear();
    while (xcb_generic_event_t* event = xcb_poll_for_event(g_connection->c))
        events.push_back(event);
    if (events.empty()) return false;

    std::vector<xcb_window_t> exposed;
    for (size_t i = 0; i < events.size() && g_connection; ++i) {
        const xcb_generic_event_t* event = events[i];
        const xcb_generic_event_t* next = i + 1 < events.size() ? events[i + 1] : nullptr;
        if (consumePresentEvent(event)) continue;
        const uint8_t type = event->response_type & 0x7f;
        if (type == XCB_MAPPING_NOTIFY) {
            if (reinterpret_cast<const xcb_mapping_notify_event_t*>(event)->request != XCB_MAPPING_POINTER)
                g_connection->keys = CKeyTranslator::fromConnection(g_connection->c);
            continue;
        }
        CXWindow* window = findWindow(eventWindow(event));
        if (!window) continue;
        if (type == XCB_EXPOSE) {
            window->addExpose(reinterpret_cast<const xcb_expose_event_t*>(event));
            if (std::find(exposed.begin(), exposed.end(), xcb_window_t(window->nativeId())) == exposed.end())
                exposed.push_back(xcb_window_t(window->nativeId()));
            continue;
        }
        window->handle(event, next);
    }
    for (xcb_window_t id : exposed)
        if (CXWindow* window = findWindow(id)) window->flushExpose();
    for (xcb_generic_event_t* event : events)
        free(event);
    return true;
}

void dispatchEvents() {
    if (!g_connection) return;
    if (xcb_connection_has_error(g_connection->c)) {
        // The server went away: nothing will be drawn or answered any more.
        for (auto& [id, window] : g_connection->windows)
            window->markDestroyed();
        CUIThread::instance().removeSource(g_connection->fd);
        return;
    }
    ++g_connection->dispatchDepth;
    int drains = 0;
    // Handlers may make round trips that leave events in the connection's queue, where poll() would
    // not see them: drain until it is empty.
    while (g_connection && drainOnce() && ++drains < kMaxDrains) {
    }
    if (g_connection) {
        --g_connection->dispatchDepth;
        if (g_connection->windows.empty()) {
            closeConnection();
        } else {
            xcb_flush(g_connection->c);
            if (drains >= kMaxDrains) CUIThread::instance().post([] {});
        }
    }
}

CError* CXWindow::init() {
    SConnection& x = *g_connection;
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
        return createError(code);
    }
    x.windows[m_id] = this;

    std::string className = m_spec.className.toUtf8();
    std::string wmClass = className + '\0' + className + '\0';
    xcb_change_property(x.c, XCB_PROP_MODE_REPLACE, m_id, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 8,
                        uint32_t(wmClass.size()), wmClass.data());
    std::string title = m_spec.title.toUtf8();
    xcb_change_property(x.c, XCB_PROP_MODE_REPLACE, m_id, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8,
                        uint32_t(title.size()), title.data());
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
    m_useShm = x.shmAvailable && g_shmAllowed.load();
    xcb_map_window(x.c, m_id);
    xcb_flush(x.c);
    return nullptr;
}

CXWindow::~CXWindow() {
    *m_alive = false;
    if (!g_connection) return;
    SConnection& x = *g_connection;
    releaseSegment();
    if (m_id) {
        // A window the server already destroyed with its parent only earns an error event.
        if (m_gc) xcb_free_gc(x.c, m_gc);
        xcb_destroy_window(x.c, m_id);
        x.windows.erase(m_id);
        xcb_flush(x.c);
    }
    if (x.windows.empty() && x.dispatchDepth == 0) closeConnection();
}

bool CXWindow::emit(const char* name, CParamList& args) {
    std::shared_ptr<bool> alive = m_alive;
    m_listener.onWindowEvent(CString(name), args);
    return *alive;
}

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
        if (message->type == g_connection->wmProtocols && message->format == 32 &&
            message->data.data32[0] == g_connection->wmDeleteWindow) {
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
        if (g_focusOnClick.load() && m_spec.isEmbedded && !m_destroyed)
            xcb_set_input_focus(g_connection->c, XCB_INPUT_FOCUS_PARENT, m_id, event->time);
    }
    CParamList args;
    addPointer(args, x, y, state);
    args.setInt("button", button == 1 ? 'L' : button == 2 ? 'M' : 'R');
    args.setInt("is-button-down", press ? 1 : 0);
    args.setInt("is-double-click", doubleClick ? 1 : 0);
    emit("mouse-button", args);
}

void CXWindow::handleKey(const xcb_key_press_event_t* event, bool press) {
    if (!g_connection->keys) return;
    const std::vector<SKeyEventArgs> keys = g_connection->keys->translate(event->detail, event->state);
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
    if (!m_hasExpose) return;
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
    xcb_configure_window(g_connection->c, m_id,
                         XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y | XCB_CONFIG_WINDOW_WIDTH |
                             XCB_CONFIG_WINDOW_HEIGHT,
                         values);
    xcb_flush(g_connection->c);
}

void CXWindow::setVisible(bool visible) {
    if (m_destroyed) return;
    if (visible)
        xcb_map_window(g_connection->c, m_id);
    else
        xcb_unmap_window(g_connection->c, m_id);
    xcb_flush(g_connection->c);
}

void CXWindow::screenOrigin(int32_t& x, int32_t& y) const {
    x = y = 0;
    if (m_destroyed) return;
    xcb_translate_coordinates_reply_t* reply = xcb_translate_coordinates_reply(
        g_connection->c, xcb_translate_coordinates(g_connection->c, m_id, g_connection->screen->root, 0, 0),
        nullptr);
    if (!reply) return;
    x = reply->dst_x;
    y = reply->dst_y;
    free(reply);
}

void CXWindow::takeFocus() {
    if (m_destroyed) return;
    xcb_set_input_focus(g_connection->c, XCB_INPUT_FOCUS_PARENT, m_id, XCB_CURRENT_TIME);
    xcb_flush(g_connection->c);
}

void CXWindow::completePresent(bool drawn) {
    m_shmPending = false;
    if (drawn) m_presented.fetch_add(1, std::memory_order_acq_rel);
}

// The segment is reused, so the server must have read the last frame before the next is written.
void CXWindow::waitForShm() {
    SConnection& x = *g_connection;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kShmWaitMs);
    xcb_flush(x.c);
    while (m_shmPending && !m_destroyed && !xcb_connection_has_error(x.c)) {
        if (xcb_generic_event_t* event = xcb_poll_for_event(x.c)) {
            if (consumePresentEvent(event)) {
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
    SConnection& x = *g_connection;
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
    xcb_shm_detach(g_connection->c, m_shmSegment);
    shmdt(m_shmAddress);
    m_shmAddress = nullptr;
    m_shmBytes = 0;
    m_shmId = -1;
    m_shmSegment = 0;
    m_shmPending = false;
}

void CXWindow::putImage(const uint32_t* pixels, int32_t stride, const SPlatformRect& rect) {
    SConnection& x = *g_connection;
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
    if (m_destroyed || !pixels || width <= 0 || height <= 0 || xcb_connection_has_error(g_connection->c))
        return;
    std::vector<SPlatformRect> clipped;
    for (const SPlatformRect& rect : rects) {
        const int32_t left = std::max(rect.x, 0), top = std::max(rect.y, 0);
        const int32_t right = std::min(rect.x + rect.width, width);
        const int32_t bottom = std::min(rect.y + rect.height, height);
        if (right > left && bottom > top) clipped.push_back({left, top, right - left, bottom - top});
    }
    if (clipped.empty()) return;
    SConnection& x = *g_connection;

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

} // namespace

CPlatformWindow::~CPlatformWindow() = default;

CError* CPlatformWindow::create(const SPlatformWindowSpec& spec, CPlatformWindowListener& listener,
                                std::unique_ptr<CPlatformWindow>& window) {
    window.reset();
    CUIThread& thread = CUIThread::instance();
    if (!thread.isCurrent()) return createError(EPERM);
    if (!g_connection)
        if (int error = openConnection()) return createError(error);
    // A server that went away leaves the connection broken until its last window is gone.
    if (int error = xcb_connection_has_error(g_connection->c)) return createError(error);
    // Also after a restart of the thread, which forgets its sources.
    thread.addSource(g_connection->fd, dispatchEvents);
    auto made = std::make_unique<CXWindow>(spec, listener);
    if (CError* error = made->init()) {
        made.reset(); // closes the connection when no other window uses it
        return QEL_PASS(error);
    }
    window = std::move(made);
    return nullptr;
}

void CPlatformWindow::setFocusOnClick(bool on) {
    g_focusOnClick.store(on);
}

bool CPlatformWindow::focusOnClick() {
    return g_focusOnClick.load();
}

void CPlatformWindow::setShmAllowed(bool allowed) {
    g_shmAllowed.store(allowed);
}

} // namespace qel
