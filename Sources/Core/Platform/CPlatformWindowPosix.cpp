#include "Core/Platform/CPlatformWindow.h"

#include <xcb/xcb.h>

#include <atomic>
#include <cerrno>

#include "Core/Platform/CUIThread.h"
#include "Core/Platform/CXWindowPosix.h"
#include "Core/Platform/XConnectionPosix.h"

namespace qel {

namespace {

std::atomic<bool> g_focusOnClick{true};
std::atomic<bool> g_shmAllowed{true};

} // namespace

CPlatformWindow::~CPlatformWindow() = default;

CError* CPlatformWindow::create(const SPlatformWindowSpec& spec, CPlatformWindowListener& listener,
                                std::unique_ptr<CPlatformWindow>& window) {
    window.reset();
    CUIThread& thread = CUIThread::instance();
    if (!thread.isCurrent()) return CXWindow::createError(EPERM);
    if (!xConnection())
        if (int error = xOpenConnection()) return CXWindow::createError(error);
    // A server that went away leaves the connection broken until its last window is gone.
    if (int error = xcb_connection_has_error(xConnection()->c)) return CXWindow::createError(error);
    // Also after a restart of the thread, which forgets its sources.
    thread.addSource(xConnection()->fd, xDispatchEvents);
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

bool CPlatformWindow::shmAllowed() {
    return g_shmAllowed.load();
}

} // namespace qel