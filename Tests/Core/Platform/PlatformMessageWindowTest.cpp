#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "Core/Platform/PlatformMessageWindow.h"

// Last: Xlib defines macros (None, Bool) that clash with names in the headers above.
#include <X11/Xlib.h>

namespace qel {
namespace {

// A private X server for the length of a test; skipped where Xvfb is not installed.
class CVirtualDisplay {
public:
    CVirtualDisplay() {
        if (access("/usr/bin/Xvfb", X_OK) != 0) return;
        // The server picks a free display number and reports it, so parallel runs never share one.
        int report[2];
        if (pipe(report) != 0) return;
        m_server = fork();
        if (m_server == 0) {
            close(report[0]);
            const std::string fd = std::to_string(report[1]);
            execl("/usr/bin/Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-nolisten", "tcp", "-screen", "0",
                  "800x600x24", static_cast<char*>(nullptr));
            _exit(127);
        }
        close(report[1]);
        std::string number;
        pollfd wait{report[0], POLLIN, 0};
        char c = 0;
        while (poll(&wait, 1, 10000) == 1 && read(report[0], &c, 1) == 1 && c != '\n')
            number += c;
        close(report[0]);
        m_ready = !number.empty();
        m_number = m_ready ? std::stoi(number) : 0;
    }
    ~CVirtualDisplay() {
        if (m_server <= 0) return;
        kill(m_server, SIGTERM);
        waitpid(m_server, nullptr, 0);
    }
    bool isRunning() const { return m_server > 0 && m_ready; }
    std::string name() const { return ":" + std::to_string(m_number); }

private:
    pid_t m_server = -1;
    int m_number = 0;
    bool m_ready = false;
};

Window findWindow(Display* display, Window parent, const char* title) {
    Window root = 0, up = 0;
    Window* children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display, parent, &root, &up, &children, &count)) return 0;
    Window found = 0;
    for (unsigned i = 0; i < count && !found; ++i) {
        char* name = nullptr;
        if (XFetchName(display, children[i], &name) && name) {
            if (std::string(name) == title) found = children[i];
            XFree(name);
        }
    }
    if (children) XFree(children);
    return found;
}

TEST(PlatformMessageWindowTest, WithoutADisplayNothingIsShown) {
    unsetenv("DISPLAY");
    EXPECT_FALSE(platform::showMessageWindow("Application Message", {"line"}));
}

TEST(PlatformMessageWindowTest, TheWindowShowsTheTitleAndClosesOnAKey) {
    CVirtualDisplay server;
    if (!server.isRunning()) GTEST_SKIP() << "no Xvfb";
    setenv("DISPLAY", server.name().c_str(), 1);
    bool shown = false;
    std::atomic<bool> closed{false};
    std::thread window([&] {
        shown = platform::showMessageWindow("Application Message", {"First line", "Second"});
        closed = true;
    });

    Display* display = XOpenDisplay(server.name().c_str());
    ASSERT_NE(display, nullptr);
    Window found = 0;
    for (int i = 0; i < 100 && !found; ++i) {
        found = findWindow(display, DefaultRootWindow(display), "Application Message");
        if (!found) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_NE(found, 0u);
    // Pressed again until the window goes; a loaded machine may deliver the first press late.
    for (int i = 0; i < 100 && found && !closed; ++i) {
        XEvent key{};
        key.xkey.type = KeyPress;
        key.xkey.window = found;
        key.xkey.display = display;
        XSendEvent(display, found, True, KeyPressMask, &key);
        XFlush(display);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_TRUE(closed) << "a key closes the window";
    // Never leave the test waiting: a window that stayed is taken away.
    if (!closed && found) {
        XDestroyWindow(display, found);
        XFlush(display);
    }
    window.join();
    XCloseDisplay(display);
    unsetenv("DISPLAY");
    EXPECT_TRUE(shown);
}

} // namespace
} // namespace qel
