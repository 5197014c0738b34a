#include "Core/Platform/XConnectionPosix.h"

#include <sys/ipc.h>
#include <sys/shm.h>
#include <xcb/shm.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "Core/Platform/CKeyTranslator.h"
#include "Core/Platform/CUIThread.h"
#include "Core/Platform/CXWindowPosix.h"

namespace qel {

namespace {

// Drains per loop pass; handlers that keep producing events get the next pass.
constexpr int kMaxDrains = 8;

SXConnection* g_connection = nullptr;

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

void closeConnection() {
    SXConnection* connection = g_connection;
    g_connection = nullptr;
    CUIThread::instance().removeSource(connection->fd);
    for (xcb_generic_event_t* event : connection->stash)
        free(event);
    xcb_disconnect(connection->c);
    delete connection;
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
        if (xConsumePresentEvent(event)) continue;
        const uint8_t type = event->response_type & 0x7f;
        if (type == XCB_MAPPING_NOTIFY) {
            if (reinterpret_cast<const xcb_mapping_notify_event_t*>(event)->request != XCB_MAPPING_POINTER)
                g_connection->keys = CKeyTranslator::fromConnection(g_connection->c);
            continue;
        }
        CXWindow* window = xFindWindow(eventWindow(event));
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
        if (CXWindow* window = xFindWindow(id)) window->flushExpose();
    for (xcb_generic_event_t* event : events)
        free(event);
    return true;
}

} // namespace

SXConnection* xConnection() {
    return g_connection;
}

int xOpenConnection() {
    int screenNumber = 0;
    xcb_connection_t* c = xcb_connect(nullptr, &screenNumber);
    if (int error = xcb_connection_has_error(c)) {
        xcb_disconnect(c);
        return error;
    }
    auto connection = std::make_unique<SXConnection>();
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

void xCloseConnectionIfUnused() {
    if (g_connection && g_connection->windows.empty() && g_connection->dispatchDepth == 0) closeConnection();
}

CXWindow* xFindWindow(xcb_window_t id) {
    if (!g_connection) return nullptr;
    auto found = g_connection->windows.find(id);
    return found == g_connection->windows.end() ? nullptr : found->second;
}

bool xConsumePresentEvent(const xcb_generic_event_t* event) {
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
        if (CXWindow* window = xFindWindow(completion->drawable)) window->completePresent(true);
        return true;
    }
    return false;
}

void xDispatchEvents() {
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

} // namespace qel
