#pragma once

#include <xcb/xcb.h>

#include <deque>
#include <map>
#include <memory>

namespace qel {

class CKeyTranslator;
class CXWindow;

// The library's own display connection, shared by all its windows; UI thread only.
struct SXConnection {
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

// The open connection, null while no window exists.
SXConnection* xConnection();
// Opens it (DISPLAY names the server); 0 or the connection's error code.
int xOpenConnection();
// Closes it once no window uses it, or at the end of the dispatch in progress.
void xCloseConnectionIfUnused();
// Reads and handles everything the connection holds; the user-interface loop calls it every pass.
void xDispatchEvents();
CXWindow* xFindWindow(xcb_window_t id);
// Takes an event that completes or fails a shared-memory present; false for any other event.
bool xConsumePresentEvent(const xcb_generic_event_t* event);

} // namespace qel
