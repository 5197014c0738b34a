#include "Support/XvfbServer.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>
#include <xcb/xtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <thread>

extern char** environ;

namespace qel::test {

namespace {

std::string tail(const std::string& path) {
    std::ifstream in(path);
    std::string text((std::istreambuf_iterator<char>(in)), {});
    return text.size() > 2000 ? text.substr(text.size() - 2000) : text;
}

} // namespace

bool CXvfbServer::available() {
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    size_t start = 0;
    while (start <= dirs.size()) {
        size_t end = dirs.find(':', start);
        if (end == std::string::npos) end = dirs.size();
        const std::string candidate = dirs.substr(start, end - start) + "/Xvfb";
        if (end > start && access(candidate.c_str(), X_OK) == 0) return true;
        start = end + 1;
    }
    return false;
}

CXvfbServer::CXvfbServer(const std::vector<std::string>& extraArgs, int width, int height) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        m_error = "pipe failed";
        return;
    }
    char logPattern[] = "/tmp/emberline-xvfb-XXXXXX";
    const int logFd = mkstemp(logPattern);
    if (logFd >= 0) {
        close(logFd);
        m_logPath = logPattern;
    }

    // The child gets the write end as descriptor 3; the server writes its display number there.
    const std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
    std::vector<std::string> args = {"Xvfb", "-displayfd", "3",   "-screen", "0",
                                     screen, "-nolisten",  "tcp", "-noreset"};
    args.insert(args.end(), extraArgs.begin(), extraArgs.end());
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 3);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    if (!m_logPath.empty()) {
        posix_spawn_file_actions_addopen(&actions, 1, m_logPath.c_str(), O_WRONLY | O_APPEND, 0);
        posix_spawn_file_actions_addopen(&actions, 2, m_logPath.c_str(), O_WRONLY | O_APPEND, 0);
    }
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, "Xvfb", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (spawned != 0) {
        close(fds[0]);
        m_error = std::string("cannot start Xvfb: ") + strerror(spawned);
        return;
    }

    std::string number;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (number.find('\n') == std::string::npos) {
        const int left = int(
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now())
                .count());
        if (left <= 0) break;
        pollfd fd{fds[0], POLLIN, 0};
        if (poll(&fd, 1, left) <= 0) continue;
        char buffer[32];
        const ssize_t got = read(fds[0], buffer, sizeof buffer);
        if (got <= 0) break; // the server ended
        number.append(buffer, size_t(got));
    }
    close(fds[0]);
    if (number.find('\n') == std::string::npos) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        m_error = "Xvfb did not report a display: " + tail(m_logPath);
        if (!m_logPath.empty()) unlink(m_logPath.c_str());
        return;
    }
    m_pid = pid;
    m_display = ":" + number.substr(0, number.find('\n'));
    if (const char* previous = std::getenv("DISPLAY")) {
        m_hadDisplay = true;
        m_previousDisplay = previous;
    }
    setenv("DISPLAY", m_display.c_str(), 1);
}

CXvfbServer::~CXvfbServer() {
    if (m_pid > 0) {
        // Left alone when a newer server has taken over.
        const char* current = std::getenv("DISPLAY");
        if (current && current == m_display) {
            if (m_hadDisplay)
                setenv("DISPLAY", m_previousDisplay.c_str(), 1);
            else
                unsetenv("DISPLAY");
        }
        kill(m_pid, SIGTERM);
        bool ended = false;
        for (int i = 0; i < 500 && !ended; ++i) {
            ended = waitpid(m_pid, nullptr, WNOHANG) == m_pid;
            if (!ended) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        if (!ended) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
    }
    if (!m_logPath.empty()) unlink(m_logPath.c_str());
}

CXTestDriver::CXTestDriver(const char* display) {
    int screenNumber = 0;
    m_connection = xcb_connect(display, &screenNumber);
    if (xcb_connection_has_error(m_connection)) return;
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(m_connection));
    for (int i = 0; i < screenNumber && screens.rem; ++i)
        xcb_screen_next(&screens);
    if (!screens.rem) return;
    m_root = screens.data->root;
    m_rootDepth = screens.data->root_depth;
}

CXTestDriver::~CXTestDriver() {
    if (m_connection) xcb_disconnect(m_connection);
}

bool CXTestDriver::isConnected() const {
    return m_connection && !xcb_connection_has_error(m_connection) && m_root != 0;
}

uint32_t CXTestDriver::createWindow(int32_t x, int32_t y, int32_t width, int32_t height, uint32_t parent,
                                    uint32_t rgb) {
    const xcb_window_t window = xcb_generate_id(m_connection);
    const uint32_t values[2] = {rgb, XCB_EVENT_MASK_KEY_PRESS | XCB_EVENT_MASK_KEY_RELEASE |
                                         XCB_EVENT_MASK_BUTTON_PRESS | XCB_EVENT_MASK_FOCUS_CHANGE |
                                         XCB_EVENT_MASK_STRUCTURE_NOTIFY};
    xcb_create_window(m_connection, XCB_COPY_FROM_PARENT, window, parent ? parent : m_root, int16_t(x),
                      int16_t(y), uint16_t(width), uint16_t(height), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                      XCB_COPY_FROM_PARENT, XCB_CW_BACK_PIXEL | XCB_CW_EVENT_MASK, values);
    xcb_map_window(m_connection, window);
    m_received.push_back({window, {}});
    sync();
    return window;
}

void CXTestDriver::destroyWindow(uint32_t window) {
    xcb_destroy_window(m_connection, window);
    sync();
}

void CXTestDriver::sendDeleteWindow(uint32_t window) {
    auto atom = [this](const char* name) {
        xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
            m_connection, xcb_intern_atom(m_connection, 0, uint16_t(strlen(name)), name), nullptr);
        const xcb_atom_t value = reply ? reply->atom : 0;
        free(reply);
        return value;
    };
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = window;
    message.type = atom("WM_PROTOCOLS");
    message.data.data32[0] = atom("WM_DELETE_WINDOW");
    message.data.data32[1] = XCB_CURRENT_TIME;
    xcb_send_event(m_connection, 0, window, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&message));
    sync();
}

void CXTestDriver::setFocus(uint32_t window) {
    xcb_set_input_focus(m_connection, XCB_INPUT_FOCUS_POINTER_ROOT, window, XCB_CURRENT_TIME);
    sync();
}

uint32_t CXTestDriver::focusWindow() {
    xcb_get_input_focus_reply_t* reply =
        xcb_get_input_focus_reply(m_connection, xcb_get_input_focus(m_connection), nullptr);
    const uint32_t focus = reply ? reply->focus : 0;
    free(reply);
    return focus;
}

void CXTestDriver::readEvents() {
    while (xcb_generic_event_t* event = xcb_poll_for_event(m_connection)) {
        const uint8_t type = event->response_type & 0x7f;
        xcb_window_t window = 0;
        if (type == XCB_KEY_PRESS || type == XCB_KEY_RELEASE)
            window = reinterpret_cast<xcb_key_press_event_t*>(event)->event;
        else if (type == XCB_BUTTON_PRESS)
            window = reinterpret_cast<xcb_button_press_event_t*>(event)->event;
        for (auto& [id, received] : m_received)
            if (id == window) {
                if (type == XCB_KEY_PRESS) ++received.keyPresses;
                if (type == XCB_KEY_RELEASE) ++received.keyReleases;
                if (type == XCB_BUTTON_PRESS) ++received.buttonPresses;
            }
        free(event);
    }
}

CXTestDriver::SReceived CXTestDriver::received(uint32_t window) {
    sync();
    readEvents();
    for (auto& [id, received] : m_received)
        if (id == window) return received;
    return {};
}

void CXTestDriver::fakeInput(uint8_t type, uint8_t detail, int16_t x, int16_t y) {
    xcb_test_fake_input(m_connection, type, detail, XCB_CURRENT_TIME, type == XCB_MOTION_NOTIFY ? m_root : 0,
                        x, y, 0);
    sync();
}

void CXTestDriver::moveMouse(int32_t x, int32_t y) {
    fakeInput(XCB_MOTION_NOTIFY, 0, int16_t(x), int16_t(y));
}

void CXTestDriver::pressButton(uint8_t button) {
    fakeInput(XCB_BUTTON_PRESS, button);
}

void CXTestDriver::releaseButton(uint8_t button) {
    fakeInput(XCB_BUTTON_RELEASE, button);
}

void CXTestDriver::click(uint8_t button) {
    pressButton(button);
    releaseButton(button);
}

uint8_t CXTestDriver::keycodeFor(uint32_t keysym) {
    const xcb_setup_t* setup = xcb_get_setup(m_connection);
    const uint8_t first = setup->min_keycode;
    const uint8_t count = uint8_t(setup->max_keycode - setup->min_keycode + 1);
    xcb_get_keyboard_mapping_reply_t* reply = xcb_get_keyboard_mapping_reply(
        m_connection, xcb_get_keyboard_mapping(m_connection, first, count), nullptr);
    if (!reply) return 0;
    const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(reply);
    const int perCode = reply->keysyms_per_keycode;
    uint8_t found = 0;
    // The first column wins: a key that gives the symbol unshifted.
    for (int column = 0; column < perCode && !found; ++column)
        for (int code = 0; code < count && !found; ++code)
            if (syms[code * perCode + column] == keysym) found = uint8_t(first + code);
    free(reply);
    return found;
}

bool CXTestDriver::pressKey(uint32_t keysym) {
    const uint8_t code = keycodeFor(keysym);
    if (code) fakeInput(XCB_KEY_PRESS, code);
    return code != 0;
}

bool CXTestDriver::releaseKey(uint32_t keysym) {
    const uint8_t code = keycodeFor(keysym);
    if (code) fakeInput(XCB_KEY_RELEASE, code);
    return code != 0;
}

bool CXTestDriver::tapKey(uint32_t keysym) {
    return pressKey(keysym) && releaseKey(keysym);
}

std::vector<uint32_t> CXTestDriver::readPixels(uint32_t window, int32_t x, int32_t y, int32_t width,
                                               int32_t height) {
    std::vector<uint32_t> pixels;
    xcb_get_image_reply_t* reply =
        xcb_get_image_reply(m_connection,
                            xcb_get_image(m_connection, XCB_IMAGE_FORMAT_Z_PIXMAP, window, int16_t(x),
                                          int16_t(y), uint16_t(width), uint16_t(height), ~0u),
                            nullptr);
    if (!reply) return pixels;
    const size_t expected = size_t(width) * size_t(height);
    if (size_t(xcb_get_image_data_length(reply)) >= expected * 4) {
        pixels.resize(expected);
        memcpy(pixels.data(), xcb_get_image_data(reply), expected * 4);
        for (uint32_t& pixel : pixels)
            pixel |= 0xFF000000u;
    }
    free(reply);
    return pixels;
}

void CXTestDriver::sync() {
    free(xcb_get_input_focus_reply(m_connection, xcb_get_input_focus(m_connection), nullptr));
}

size_t CXTestDriver::maximumRequestBytes() {
    return size_t(xcb_get_maximum_request_length(m_connection)) * 4;
}

bool CXTestDriver::waitFor(const std::function<bool()>& condition, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

} // namespace qel::test
