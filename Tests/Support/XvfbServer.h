#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct xcb_connection_t;

namespace qel::test {

// A private X server for one test: Xvfb on a display number of its own choosing (-displayfd),
// DISPLAY set for the process while it lives, stopped by the destructor.
class CXvfbServer {
public:
    // Whether an Xvfb binary is on the PATH; tests skip without it, and only then.
    static bool available();

    // extraArgs are passed on, e.g. {"-extension", "MIT-SHM"} for a server without shared memory.
    explicit CXvfbServer(const std::vector<std::string>& extraArgs = {}, int width = 1024, int height = 768);
    ~CXvfbServer();
    CXvfbServer(const CXvfbServer&) = delete;
    CXvfbServer& operator=(const CXvfbServer&) = delete;

    bool isRunning() const { return m_pid > 0; }
    const std::string& display() const { return m_display; } // ":N"
    // Why it did not start, with the end of the server's own output.
    const std::string& error() const { return m_error; }

private:
    int m_pid = -1;
    std::string m_display;
    std::string m_error;
    std::string m_logPath;
    bool m_hadDisplay = false;
    std::string m_previousDisplay;
};

// Drives a display as a host and a user would, on a connection of its own: creates windows,
// injects pointer and keyboard input through XTest, moves the focus (Xvfb has no window manager)
// and reads pixels back.
class CXTestDriver {
public:
    // Counts of the input events that reached one of the driver's windows.
    struct SReceived {
        int keyPresses = 0;
        int keyReleases = 0;
        int buttonPresses = 0;
    };

    explicit CXTestDriver(const char* display = nullptr); // DISPLAY by default
    ~CXTestDriver();
    CXTestDriver(const CXTestDriver&) = delete;
    CXTestDriver& operator=(const CXTestDriver&) = delete;

    bool isConnected() const;
    xcb_connection_t* connection() const { return m_connection; }
    uint32_t rootWindow() const { return m_root; }

    // An InputOutput window filled with one colour (0xRRGGBB), child of parent (the root when 0),
    // listening to key, button and focus events, mapped; returns its id.
    uint32_t createWindow(int32_t x, int32_t y, int32_t width, int32_t height, uint32_t parent = 0,
                          uint32_t rgb = 0x404040);
    void destroyWindow(uint32_t window);
    // Asks a top-level window to close the way a window manager does (WM_DELETE_WINDOW).
    void sendDeleteWindow(uint32_t window);
    void setFocus(uint32_t window);
    uint32_t focusWindow();
    SReceived received(uint32_t window); // reads what has arrived so far

    // Screen coordinates.
    void moveMouse(int32_t x, int32_t y);
    void pressButton(uint8_t button);
    void releaseButton(uint8_t button);
    void click(uint8_t button);
    // Keys by keysym (X11 keysym values, e.g. 0x63 'c', 0xffe3 Control_L); false when the keyboard
    // map has no key for it.
    bool pressKey(uint32_t keysym);
    bool releaseKey(uint32_t keysym);
    bool tapKey(uint32_t keysym);

    // The window's pixels as 32-bit BGRA with opaque alpha, rows packed; empty on failure.
    std::vector<uint32_t> readPixels(uint32_t window, int32_t x, int32_t y, int32_t width, int32_t height);
    // A round trip: every request sent so far has been carried out.
    void sync();
    // The largest request the server takes (256 KiB without BIG-REQUESTS).
    size_t maximumRequestBytes();

    // Polls the condition every few milliseconds until it holds or the time is up.
    static bool waitFor(const std::function<bool()>& condition, int timeoutMs = 5000);

private:
    void fakeInput(uint8_t type, uint8_t detail, int16_t x = 0, int16_t y = 0);
    uint8_t keycodeFor(uint32_t keysym);
    void readEvents();

    xcb_connection_t* m_connection = nullptr;
    uint32_t m_root = 0;
    uint8_t m_rootDepth = 0;
    std::vector<std::pair<uint32_t, SReceived>> m_received;
};

} // namespace qel::test
