#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "Core/Platform/CPlatformWindow.h"
#include "Core/Platform/CUIThread.h"
#include "Support/ErrorText.h"
#include "Support/XvfbServer.h"

namespace qel {
namespace {

using test::CXTestDriver;
using test::CXvfbServer;

// Keysyms used below.
enum : uint32_t {
    kSymA = 0x61,
    kSymC = 0x63,
    kSymBackSpace = 0xff08,
    kSymControlL = 0xffe3,
};

struct SEvent {
    std::string name;
    std::map<std::string, int32_t> args;
    int32_t operator[](const char* name) const {
        auto found = args.find(name);
        return found == args.end() ? -999 : found->second;
    }
    bool has(const char* name) const { return args.count(name) != 0; }
};

// Collects a window's events as the UI thread delivers them.
class CRecorder : public CPlatformWindowListener {
public:
    void onWindowEvent(const CString& name, CParamList& args) override {
        SEvent event{name.toUtf8(), {}};
        for (const auto& [key, value] : args.values())
            event.args[key.toUtf8()] = value.toInt();
        std::lock_guard<std::mutex> guard(m_lock);
        m_events.push_back(event);
    }
    std::vector<SEvent> take(const std::string& name) {
        std::lock_guard<std::mutex> guard(m_lock);
        std::vector<SEvent> matching;
        std::vector<SEvent> rest;
        for (SEvent& event : m_events)
            (event.name == name ? matching : rest).push_back(event);
        m_events.swap(rest);
        return matching;
    }
    // Waits for count events of that name, and takes them.
    std::vector<SEvent> waitFor(const std::string& name, size_t count = 1, int timeoutMs = 5000) {
        std::vector<SEvent> got;
        CXTestDriver::waitFor(
            [&] {
                for (SEvent& event : take(name))
                    got.push_back(event);
                return got.size() >= count;
            },
            timeoutMs);
        return got;
    }
    void clear() {
        std::lock_guard<std::mutex> guard(m_lock);
        m_events.clear();
    }

private:
    std::mutex m_lock;
    std::vector<SEvent> m_events;
};

class CPlatformWindowTest : public ::testing::Test {
protected:
    void SetUp() override { start({}); }

    void start(const std::vector<std::string>& serverArgs, int width = 1024, int height = 768) {
        if (!CXvfbServer::available()) GTEST_SKIP() << "Xvfb is not installed";
        server = std::make_unique<CXvfbServer>(serverArgs, width, height);
        ASSERT_TRUE(server->isRunning()) << server->error();
        CUIThread::acquire();
        driver = std::make_unique<CXTestDriver>();
        ASSERT_TRUE(driver->isConnected());
    }

    void TearDown() override {
        if (!server) return;
        closeAll();
        CPlatformWindow::setShmAllowed(true);
        CPlatformWindow::setFocusOnClick(true);
        CUIThread::release();
        driver.reset();
        server.reset();
    }

    void closeAll() {
        ASSERT_TRUE(CUIThread::instance().runSync([&] { windows.clear(); }, 5000));
    }

    CPlatformWindow* open(const SPlatformWindowSpec& spec, CRecorder& recorder) {
        CError* error = nullptr;
        std::unique_ptr<CPlatformWindow> window;
        EXPECT_TRUE(CUIThread::instance().runSync(
            [&] { error = CPlatformWindow::create(spec, recorder, window); }, 5000));
        EXPECT_EQ(test::firstLine(error), "");
        if (!window) return nullptr;
        windows.push_back(std::move(window));
        return windows.back().get();
    }

    static SPlatformWindowSpec embedded(uint32_t parent, int32_t x, int32_t y, int32_t width,
                                        int32_t height) {
        SPlatformWindowSpec spec;
        spec.parent = parent;
        spec.x = x;
        spec.y = y;
        spec.width = width;
        spec.height = height;
        spec.isEmbedded = true;
        spec.isMainWindow = true;
        spec.className = "Quelmar Emberline VST2 UIWindow";
        spec.title = "Emberline";
        return spec;
    }

    template <class F>
    void onUI(F&& task) {
        ASSERT_TRUE(CUIThread::instance().runSync(task, 5000));
    }

    std::unique_ptr<CXvfbServer> server;
    std::unique_ptr<CXTestDriver> driver;
    // The listeners outlive the windows, which TearDown closes.
    CRecorder events;
    CRecorder otherEvents;
    std::vector<std::unique_ptr<CPlatformWindow>> windows;
};

// A distinct opaque colour for every pixel, varied by seed.
std::vector<uint32_t> pattern(int32_t width, int32_t height, uint32_t seed) {
    std::vector<uint32_t> pixels(size_t(width) * size_t(height));
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x)
            pixels[size_t(y) * size_t(width) + size_t(x)] =
                0xFF000000u | (uint32_t(x * 7 + seed) & 0xFF) << 16 | (uint32_t(y * 13 + seed) & 0xFF) << 8 |
                (uint32_t(x ^ y ^ seed) & 0xFF);
    return pixels;
}

TEST_F(CPlatformWindowTest, MouseInputBecomesFrameworkEvents) {
    const uint32_t host = driver->createWindow(0, 0, 400, 300);
    CPlatformWindow* window = open(embedded(host, 50, 40, 200, 100), events);
    ASSERT_NE(window, nullptr);
    std::vector<SEvent> paint = events.waitFor("paint");
    ASSERT_EQ(paint.size(), 1u);
    EXPECT_EQ(paint[0]["x"], 0);
    EXPECT_EQ(paint[0]["y"], 0);
    EXPECT_EQ(paint[0]["width"], 200);
    EXPECT_EQ(paint[0]["height"], 100);
    int32_t originX = 0, originY = 0;
    onUI([&] { window->screenOrigin(originX, originY); });
    EXPECT_EQ(originX, 50);
    EXPECT_EQ(originY, 40);

    // Positions are screen coordinates.
    driver->moveMouse(100, 80);
    std::vector<SEvent> move = events.waitFor("mouse-move");
    ASSERT_FALSE(move.empty());
    EXPECT_EQ(move.back()["x"], 100);
    EXPECT_EQ(move.back()["y"], 80);
    EXPECT_EQ(move.back()["is-button-l"], 0);
    EXPECT_EQ(move.back()["is-ctrl"], 0);

    // A double click: press, release, then the second press flagged, then its release.
    driver->click(1);
    driver->click(1);
    std::vector<SEvent> buttons = events.waitFor("mouse-button", 4);
    ASSERT_EQ(buttons.size(), 4u);
    const int32_t down[] = {1, 0, 1, 0}, doubled[] = {0, 0, 1, 0};
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(buttons[i]["button"], 'L');
        EXPECT_EQ(buttons[i]["is-button-down"], down[i]) << i;
        EXPECT_EQ(buttons[i]["is-double-click"], doubled[i]) << i;
        EXPECT_EQ(buttons[i]["is-button-l"], down[i]) << "state after the event " << i;
        EXPECT_EQ(buttons[i]["x"], 100);
        EXPECT_EQ(buttons[i]["y"], 80);
    }
    // A third click is a single one again; so is a click after moving away.
    driver->click(1);
    driver->moveMouse(120, 80);
    driver->click(1);
    buttons = events.waitFor("mouse-button", 4);
    ASSERT_EQ(buttons.size(), 4u);
    EXPECT_EQ(buttons[0]["is-double-click"], 0);
    EXPECT_EQ(buttons[2]["is-double-click"], 0);

    // Right and middle buttons with Ctrl held.
    ASSERT_TRUE(driver->pressKey(kSymControlL));
    driver->click(3);
    driver->click(2);
    ASSERT_TRUE(driver->releaseKey(kSymControlL));
    buttons = events.waitFor("mouse-button", 4);
    ASSERT_EQ(buttons.size(), 4u);
    EXPECT_EQ(buttons[0]["button"], 'R');
    EXPECT_EQ(buttons[0]["is-button-r"], 1);
    EXPECT_EQ(buttons[0]["is-ctrl"], 1);
    EXPECT_EQ(buttons[2]["button"], 'M');
    EXPECT_EQ(buttons[2]["is-ctrl"], 1);

    // Wheel notches give a direction only, and no button events.
    driver->click(4);
    driver->click(5);
    std::vector<SEvent> wheel = events.waitFor("mouse-wheel", 2);
    ASSERT_EQ(wheel.size(), 2u);
    EXPECT_EQ(wheel[0]["delta"], 1);
    EXPECT_EQ(wheel[1]["delta"], -1);
    EXPECT_EQ(wheel[0]["x"], 120);

    // The first extended button reports button 2, the second button 1.
    driver->pressButton(8);
    driver->releaseButton(8);
    driver->pressButton(9);
    driver->releaseButton(9);
    std::vector<SEvent> extended = events.waitFor("mouse-xbutton", 4);
    ASSERT_EQ(extended.size(), 4u);
    EXPECT_EQ(extended[0]["xbutton"], 2);
    EXPECT_EQ(extended[0]["is-button-down"], 1);
    EXPECT_EQ(extended[0]["is-xbutton2"], 1);
    EXPECT_EQ(extended[0]["is-xbutton1"], 0);
    EXPECT_FALSE(extended[0].has("button"));
    EXPECT_EQ(extended[1]["is-button-down"], 0);
    EXPECT_EQ(extended[1]["is-xbutton2"], 0);
    EXPECT_EQ(extended[2]["xbutton"], 1);
    EXPECT_EQ(extended[2]["is-xbutton1"], 1);
    EXPECT_TRUE(events.take("mouse-button").empty());

    // Leaving reports once, until the mouse moves over the window again.
    driver->moveMouse(10, 10);
    EXPECT_EQ(events.waitFor("mouse-exit").size(), 1u);
    driver->moveMouse(60, 60);
    driver->moveMouse(20, 20);
    EXPECT_EQ(events.waitFor("mouse-exit").size(), 1u);
    driver->moveMouse(5, 5);
    EXPECT_TRUE(events.waitFor("mouse-exit", 1, 200).empty());
}

TEST_F(CPlatformWindowTest, TheEditorTakesTheFocusOnClickAndKeepsItsKeys) {
    const uint32_t host = driver->createWindow(0, 0, 400, 300);
    CPlatformWindow* window = open(embedded(host, 50, 40, 200, 100), events);
    ASSERT_NE(window, nullptr);
    events.waitFor("paint");
    const uint32_t editor = uint32_t(window->nativeId());
    driver->setFocus(host);

    // With the switch off a click leaves the focus with the host.
    CPlatformWindow::setFocusOnClick(false);
    driver->moveMouse(100, 80);
    driver->click(1);
    events.waitFor("mouse-button", 2);
    EXPECT_EQ(driver->focusWindow(), host);
    CPlatformWindow::setFocusOnClick(true);

    // An extended button does not take it either; the left button does, on the press.
    driver->click(8);
    events.waitFor("mouse-xbutton", 2);
    EXPECT_EQ(driver->focusWindow(), host);
    driver->pressButton(1);
    events.waitFor("mouse-button");
    // The server carries out our focus request beside the driver's own requests.
    EXPECT_TRUE(CXTestDriver::waitFor([&] { return driver->focusWindow() == editor; }));
    driver->releaseButton(1);
    EXPECT_EQ(events.waitFor("activate-window").size(), 1u);

    // Keys typed with the pointer over the host still come to us, and never to the host.
    driver->moveMouse(300, 250);
    events.clear();
    ASSERT_TRUE(driver->pressKey(kSymControlL));
    ASSERT_TRUE(driver->tapKey(kSymC));
    ASSERT_TRUE(driver->tapKey(kSymBackSpace));
    ASSERT_TRUE(driver->releaseKey(kSymControlL));
    ASSERT_TRUE(driver->tapKey(kSymA));
    std::vector<SEvent> presses = events.waitFor("key-press", 4);
    ASSERT_EQ(presses.size(), 4u);
    EXPECT_EQ(presses[0]["keycode"], 32530) << "Ctrl";
    EXPECT_EQ(presses[1]["keycode"], 67);
    EXPECT_EQ(presses[1]["is-ctrl"], 1);
    EXPECT_EQ(presses[2]["keycode"], 32516);
    EXPECT_EQ(presses[2]["is-ctrl"], 1);
    EXPECT_EQ(presses[3]["keycode"], 'a');
    EXPECT_EQ(presses[3]["is-ctrl"], 0);
    EXPECT_EQ(presses[3]["is-shift"], 0);
    std::vector<SEvent> releases = events.waitFor("key-release", 4);
    ASSERT_EQ(releases.size(), 4u);
    EXPECT_EQ(releases[0]["keycode"], 67);
    EXPECT_EQ(releases[0]["is-ctrl"], 1);
    EXPECT_EQ(driver->received(host).keyPresses, 0);
    EXPECT_EQ(driver->received(host).keyReleases, 0);

    // Losing the focus.
    driver->setFocus(host);
    EXPECT_EQ(events.waitFor("deactivate-window").size(), 1u);
    EXPECT_EQ(events.waitFor("focus-lost").size(), 1u);
    ASSERT_TRUE(driver->tapKey(kSymA));
    EXPECT_EQ(driver->received(host).keyPresses, 1) << "the host has its keys back";
    EXPECT_TRUE(events.take("key-press").empty());

    onUI([&] { window->takeFocus(); });
    EXPECT_EQ(driver->focusWindow(), editor);
}

TEST_F(CPlatformWindowTest, PopupsNeverTakeTheFocus) {
    const uint32_t host = driver->createWindow(0, 0, 400, 300);
    driver->setFocus(host);
    SPlatformWindowSpec spec;
    spec.x = 500;
    spec.y = 100;
    spec.width = 120;
    spec.height = 60;
    spec.className = "Quelmar Emberline VST2 UIWindow";
    CPlatformWindow* popup = open(spec, events);
    ASSERT_NE(popup, nullptr);
    events.waitFor("paint");
    driver->moveMouse(550, 120);
    driver->click(1);
    std::vector<SEvent> buttons = events.waitFor("mouse-button", 2);
    ASSERT_EQ(buttons.size(), 2u);
    EXPECT_EQ(buttons[0]["x"], 550);
    EXPECT_EQ(driver->focusWindow(), host);
    EXPECT_TRUE(events.take("activate-window").empty());
}

TEST_F(CPlatformWindowTest, PresentedPixelsReadBackExactly) {
    const uint32_t host = driver->createWindow(0, 0, 500, 400);
    CPlatformWindow* shm = open(embedded(host, 0, 0, 300, 200), events);
    CPlatformWindow::setShmAllowed(false);
    CPlatformWindow* plain = open(embedded(host, 0, 200, 300, 200), otherEvents);
    ASSERT_NE(shm, nullptr);
    ASSERT_NE(plain, nullptr);
    EXPECT_TRUE(shm->usesShm()) << "Xvfb offers MIT-SHM";
    EXPECT_FALSE(plain->usesShm());

    for (CPlatformWindow* window : {shm, plain}) {
        const std::vector<uint32_t> first = pattern(300, 200, 1);
        onUI([&] { window->present(first.data(), 300, 200, {{0, 0, 300, 200}}); });
        ASSERT_TRUE(CXTestDriver::waitFor([&] { return window->presentedFrames() == 1; }));
        EXPECT_EQ(driver->readPixels(uint32_t(window->nativeId()), 0, 0, 300, 200), first);

        // Only the given rectangles change; ones outside the buffer are clipped.
        const std::vector<uint32_t> second = pattern(300, 200, 77);
        onUI([&] {
            window->present(second.data(), 300, 200,
                            {{10, 20, 30, 40}, {250, 150, 100, 100}, {400, 0, 5, 5}});
        });
        ASSERT_TRUE(CXTestDriver::waitFor([&] { return window->presentedFrames() == 2; }));
        const std::vector<uint32_t> shown = driver->readPixels(uint32_t(window->nativeId()), 0, 0, 300, 200);
        ASSERT_EQ(shown.size(), first.size());
        size_t wrong = 0;
        for (int32_t y = 0; y < 200; ++y)
            for (int32_t x = 0; x < 300; ++x) {
                const bool changed = (x >= 10 && x < 40 && y >= 20 && y < 60) || (x >= 250 && y >= 150);
                const size_t i = size_t(y) * 300 + size_t(x);
                wrong += shown[i] != (changed ? second[i] : first[i]);
            }
        EXPECT_EQ(wrong, 0u) << (window == shm ? "shared memory" : "plain requests");

        // Nothing to copy is no frame.
        onUI([&] { window->present(second.data(), 300, 200, {{300, 0, 10, 10}}); });
        EXPECT_EQ(window->presentedFrames(), 2u);
    }
}

TEST_F(CPlatformWindowTest, WithoutSharedMemoryLargeImagesAreSplitIntoRequests) {
    TearDown();
    start({"-extension", "MIT-SHM"}, 2200, 2100);
    // 2100 x 2050 x 4 bytes is over the largest request even with BIG-REQUESTS.
    constexpr int32_t kWidth = 2100, kHeight = 2050;
    ASSERT_LT(driver->maximumRequestBytes(), size_t(kWidth) * kHeight * 4);
    const uint32_t host = driver->createWindow(0, 0, kWidth, kHeight);
    CPlatformWindow* window = open(embedded(host, 0, 0, kWidth, kHeight), events);
    ASSERT_NE(window, nullptr);
    EXPECT_FALSE(window->usesShm());
    const std::vector<uint32_t> pixels = pattern(kWidth, kHeight, 5);
    for (int frame = 1; frame <= 2; ++frame) {
        onUI([&] { window->present(pixels.data(), kWidth, kHeight, {{0, 0, kWidth, kHeight}}); });
        ASSERT_TRUE(CXTestDriver::waitFor([&] { return window->presentedFrames() == uint32_t(frame); }));
    }
    EXPECT_TRUE(driver->readPixels(uint32_t(window->nativeId()), 0, 0, kWidth, kHeight) == pixels);
}

TEST_F(CPlatformWindowTest, TheHostMayDestroyTheParentFirst) {
    // A parent that does not exist is reported.
    CError* error = nullptr;
    std::unique_ptr<CPlatformWindow> orphan;
    onUI([&] { error = CPlatformWindow::create(embedded(0x7fffff, 0, 0, 10, 10), events, orphan); });
    EXPECT_EQ(test::firstLine(error), "Unable to locate parent window.");
    EXPECT_EQ(orphan, nullptr);

    const uint32_t host = driver->createWindow(0, 0, 400, 300);
    CPlatformWindow* window = open(embedded(host, 0, 0, 300, 200), events);
    ASSERT_NE(window, nullptr);
    const std::vector<uint32_t> pixels = pattern(300, 200, 9);
    onUI([&] { window->present(pixels.data(), 300, 200, {{0, 0, 300, 200}}); });
    ASSERT_TRUE(CXTestDriver::waitFor([&] { return window->presentedFrames() == 1; }));

    driver->destroyWindow(host);
    ASSERT_TRUE(CXTestDriver::waitFor([&] {
        bool destroyed = false;
        CUIThread::instance().runSync([&] { destroyed = window->isDestroyed(); }, 1000);
        return destroyed;
    }));
    // Everything still answers at once, and closing is clean.
    const auto start = std::chrono::steady_clock::now();
    onUI([&] {
        window->present(pixels.data(), 300, 200, {{0, 0, 300, 200}});
        window->setBounds(0, 0, 100, 100);
        window->takeFocus();
        int32_t x = -1, y = -1;
        window->screenOrigin(x, y);
    });
    closeAll();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));

    // The connection went with the last window; a new one serves another server.
    driver.reset();
    server.reset();
    server = std::make_unique<CXvfbServer>();
    ASSERT_TRUE(server->isRunning()) << server->error();
    driver = std::make_unique<CXTestDriver>();
    const uint32_t second = driver->createWindow(0, 0, 200, 200);
    CPlatformWindow* again = open(embedded(second, 0, 0, 100, 100), events);
    ASSERT_NE(again, nullptr);
    onUI([&] { again->present(pixels.data(), 300, 200, {{0, 0, 100, 100}}); });
    ASSERT_TRUE(CXTestDriver::waitFor([&] { return again->presentedFrames() == 1; }));
}

TEST_F(CPlatformWindowTest, TopLevelWindowsCloseOnRequest) {
    SPlatformWindowSpec spec;
    spec.width = 200;
    spec.height = 100;
    spec.isMainWindow = true;
    spec.className = "Quelmar Emberline VST2 UIWindow";
    spec.title = "Emberline";
    CPlatformWindow* window = open(spec, events);
    ASSERT_NE(window, nullptr);
    events.waitFor("paint");
    driver->sendDeleteWindow(uint32_t(window->nativeId()));
    EXPECT_EQ(events.waitFor("close-app").size(), 1u);

    // Growing the window exposes a strip on the right and one at the bottom: one paint covers both.
    onUI([&] { window->setBounds(0, 0, 300, 150); });
    std::vector<SEvent> paint = events.waitFor("paint");
    ASSERT_EQ(paint.size(), 1u);
    EXPECT_EQ(paint[0]["x"], 0);
    EXPECT_EQ(paint[0]["y"], 0);
    EXPECT_EQ(paint[0]["width"], 300);
    EXPECT_EQ(paint[0]["height"], 150);
    EXPECT_TRUE(events.waitFor("paint", 1, 200).empty());
}

} // namespace
} // namespace qel
