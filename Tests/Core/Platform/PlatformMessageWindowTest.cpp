#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

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
        m_number = 90 + int(getpid() % 9);
        m_server = fork();
        if (m_server == 0) {
            const std::string display = ":" + std::to_string(m_number);
            execl("/usr/bin/Xvfb", "Xvfb", display.c_str(), "-nolisten", "tcp", "-screen", "0", "800x600x24",
                  static_cast<char*>(nullptr));
            _exit(127);
        }
        const std::string socket = "/tmp/.X11-unix/X" + std::to_string(m_number);
        for (int i = 0; i < 100 && !ready(socket); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ~CVirtualDisplay() {
        if (m_server <= 0) return;
        kill(m_server, SIGTERM);
        waitpid(m_server, nullptr, 0);
    }
    bool isRunning() const { return m_server > 0 && m_ready; }
    std::string name() const { return ":" + std::to_string(m_number); }

private:
    bool ready(const std::string& socket) {
        struct stat info {};
        m_ready = stat(socket.c_str(), &info) == 0;
        return m_ready;
    }

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
    std::thread window([&] {
        shown = platform::showMessageWindow("Application Message", {"First line", "Second"});
    });

    Display* display = XOpenDisplay(server.name().c_str());
    ASSERT_NE(display, nullptr);
    Window found = 0;
    for (int i = 0; i < 100 && !found; ++i) {
        found = findWindow(display, DefaultRootWindow(display), "Application Message");
        if (!found) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_NE(found, 0u);
    XEvent key{};
    key.xkey.type = KeyPress;
    key.xkey.window = found;
    key.xkey.display = display;
    XSendEvent(display, found, True, KeyPressMask, &key);
    XFlush(display);
    window.join();
    XCloseDisplay(display);
    unsetenv("DISPLAY");
    EXPECT_TRUE(shown);
}

} // namespace
} // namespace qel
