#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <memory>
#include <thread>

#include "Audio/VST/EditorSnapshot.h"
#include "Other/CPngFile.h"
#include "PluginHost.h"
#include "Support/TempDir.h"
#include "Support/XvfbServer.h"

namespace qel::test {
namespace {

constexpr uint32_t kParentColour = 0x203040;

// The reviewed pictures of the main window at the defaults. EMBERLINE_UPDATE_GOLDENS=1 writes them
// from the plug-in's own snapshot instead of comparing.
std::string goldenPath(double scale) {
    return std::string(EMBERLINE_GOLDEN_DIR) + "/editor-" + CString::fromDouble(scale, 1).toUtf8() + ".png";
}

// A host as Ardour is one: its own display connection, the editor opened as a child of its window,
// effEditIdle every 40 ms from a thread of its own, audio running on another.
class EditorHostTest : public PluginTest {
protected:
    void startDisplay(double scale, const std::vector<std::string>& serverArgs = {}) {
        if (!CXvfbServer::available()) GTEST_SKIP() << "Xvfb is not installed";
        // The editor's scale follows the screen: 1080 lines are scale 1.
        server = std::make_unique<CXvfbServer>(serverArgs, 2600, int(1080 * scale));
        ASSERT_TRUE(server->isRunning()) << server->error();
        driver = std::make_unique<CXTestDriver>();
        ASSERT_TRUE(driver->isConnected());
        load();
        start(48000);
        idle = std::thread([this] {
            while (!stopping)
                host.dispatcher(effEditIdle), std::this_thread::sleep_for(std::chrono::milliseconds(40));
        });
    }
    void TearDown() override {
        stopAudio();
        stopping = true;
        if (idle.joinable()) idle.join();
        host.dispatcher(effEditClose);
        host.close();
    }
    void runAudio() {
        audio = std::thread([this] {
            std::vector<float> in(512, 0.1f), out0(512), out1(512);
            std::vector<float*> inputs(size_t(host.numInputs()), in.data()), outputs;
            std::vector<std::vector<float>> buffers(size_t(host.numOutputs()), std::vector<float>(512));
            for (auto& b : buffers)
                outputs.push_back(b.data());
            while (!audioStopping)
                host.processFloat(inputs.data(), outputs.data(), 512);
        });
    }
    void stopAudio() {
        audioStopping = true;
        if (audio.joinable()) audio.join();
    }

    ERect rect() {
        ERect* reported = nullptr;
        EXPECT_EQ(host.dispatcher(effEditGetRect, 0, 0, &reported), 1);
        return reported ? *reported : ERect{};
    }
    bool open(uint32_t parent) {
        return host.dispatcher(effEditOpen, 0, 0, reinterpret_cast<void*>(uintptr_t(parent))) == 1;
    }
    std::vector<uint32_t> pixels(uint32_t window, const ERect& size) {
        return driver->readPixels(window, 0, 0, size.right, size.bottom);
    }
    // The editor as the plug-in draws it offscreen with the instance's current values.
    std::vector<uint32_t> snapshot(double scale) {
        SEditorSnapshotRequest request;
        const std::string path = dir.file("snapshot.png");
        request.path = path.c_str();
        request.scale = scale;
        EXPECT_EQ(host.vendorSpecific(kEditorSnapshotIndex, 0, &request, 0), 1) << request.error;
        return picture(path);
    }
    static std::vector<uint32_t> picture(const std::string& path) {
        CBitmap bitmap;
        CError* error = CPngFile::read(CString::fromUtf8(path), bitmap);
        EXPECT_EQ(error, nullptr) << (error ? error->joined("\n").toUtf8() : "");
        delete error;
        return std::vector<uint32_t>(bitmap.data(), bitmap.data() + size_t(bitmap.width()) * bitmap.height());
    }
    std::vector<uint32_t> golden(double scale) {
        if (std::getenv("EMBERLINE_UPDATE_GOLDENS")) {
            SEditorSnapshotRequest request;
            const std::string path = goldenPath(scale);
            request.path = path.c_str();
            request.scale = scale;
            EXPECT_EQ(host.vendorSpecific(kEditorSnapshotIndex, 0, &request, 0), 1) << request.error;
        }
        return picture(goldenPath(scale));
    }
    // Waits until the window shows exactly the expected picture.
    // Waits until the window shows exactly the expected picture; what it showed instead is kept as
    // a picture to look at.
    bool shows(uint32_t window, const ERect& size, const std::vector<uint32_t>& expected) {
        std::vector<uint32_t> seen;
        if (CXTestDriver::waitFor([&] { return (seen = pixels(window, size)) == expected; }, 10000))
            return true;
        CBitmap shown(size.right, size.bottom);
        if (seen.size() == size_t(size.right) * size_t(size.bottom))
            std::copy(seen.begin(), seen.end(), shown.data());
        const std::string path = ::testing::TempDir() + "editor-shown.png";
        delete CPngFile::write(CString::fromUtf8(path), shown);
        ADD_FAILURE() << "the window showed another picture: " << path;
        return false;
    }

    std::unique_ptr<CXvfbServer> server;
    std::unique_ptr<CXTestDriver> driver;
    std::thread idle, audio;
    std::atomic<bool> stopping{false}, audioStopping{false};
    TempDir dir;
};

TEST_F(EditorHostTest, OpensInTheHostWindowDrawsTheMainWindowAndFollowsTheHost) {
    startDisplay(1.0);
    const ERect size = rect();
    ASSERT_EQ(size.right, 614);
    ASSERT_EQ(size.bottom, 163);
    const uint32_t parent = driver->createWindow(10, 10, size.right, size.bottom, 0, kParentColour);
    ASSERT_TRUE(open(parent));
    const std::vector<uint32_t> expected = golden(1.0);
    ASSERT_TRUE(shows(parent, size, expected)) << "the editor never showed the reviewed picture";
    // A second open while open is refused and leaves the editor as it is.
    EXPECT_FALSE(open(parent));

    // The host moves the output gain: the read-out follows within a frame or two.
    host.setParameter(paramIndex("OutGain"), 0.9f);
    const std::vector<uint32_t> changed = snapshot(1.0);
    ASSERT_NE(changed, expected);
    EXPECT_TRUE(shows(parent, size, changed));

    host.dispatcher(effEditClose);
    EXPECT_TRUE(
        CXTestDriver::waitFor([&] { return pixels(parent, size)[0] == (0xff000000u | kParentColour); }));
}

class EditorScaleTest : public EditorHostTest, public ::testing::WithParamInterface<double> {};

TEST_P(EditorScaleTest, LargerScreensScaleTheEditor) {
    const double scale = GetParam();
    startDisplay(scale);
    const ERect size = rect();
    EXPECT_EQ(size.right, int(614 * scale + 0.5));
    EXPECT_EQ(size.bottom, int(163 * scale + 0.5));
    const uint32_t parent = driver->createWindow(0, 0, size.right, size.bottom, 0, kParentColour);
    ASSERT_TRUE(open(parent));
    EXPECT_TRUE(shows(parent, size, golden(scale)));
}

INSTANTIATE_TEST_SUITE_P(Scales, EditorScaleTest, ::testing::Values(1.5, 2.0));

TEST_F(EditorHostTest, WithoutSharedMemoryTheSamePicture) {
    startDisplay(1.0, {"-extension", "MIT-SHM"});
    const ERect size = rect();
    const uint32_t parent = driver->createWindow(0, 0, size.right, size.bottom, 0, kParentColour);
    ASSERT_TRUE(open(parent));
    EXPECT_TRUE(shows(parent, size, golden(1.0)));
}

TEST_F(EditorHostTest, FiftyOpenCloseCyclesWhileAudioRuns) {
    startDisplay(1.0);
    runAudio();
    const ERect size = rect();
    const uint32_t parent = driver->createWindow(0, 0, size.right, size.bottom, 0, kParentColour);
    for (int cycle = 0; cycle < 50; ++cycle) {
        ASSERT_TRUE(open(parent)) << "cycle " << cycle;
        // Drawn: the top left corner is no longer the host's colour.
        ASSERT_TRUE(CXTestDriver::waitFor([&] {
            return driver->readPixels(parent, 0, 0, 1, 1) !=
                   std::vector<uint32_t>{0xff000000u | kParentColour};
        })) << "cycle "
            << cycle;
        host.dispatcher(effEditClose);
    }
    stopAudio();
}

TEST_F(EditorHostTest, HostWindowDestroyedBeforeCloseAndTwoInstancesAtOnce) {
    startDisplay(1.0);
    const ERect size = rect();
    const std::vector<uint32_t> expected = golden(1.0);
    uint32_t parent = driver->createWindow(0, 0, size.right, size.bottom, 0, kParentColour);
    ASSERT_TRUE(open(parent));
    ASSERT_TRUE(shows(parent, size, expected));
    driver->destroyWindow(parent);
    driver->sync();
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    host.dispatcher(effEditClose);

    // The same instance opens again in a new window, beside a second instance's editor.
    CVstPluginHost other;
    ASSERT_TRUE(other.load(EMBERLINE_PLUGIN_PATH)) << other.error();
    other.open();
    parent = driver->createWindow(0, 0, size.right, size.bottom, 0, kParentColour);
    const uint32_t otherParent = driver->createWindow(0, 200, size.right, size.bottom, 0, kParentColour);
    ASSERT_TRUE(open(parent));
    ASSERT_EQ(other.dispatcher(effEditOpen, 0, 0, reinterpret_cast<void*>(uintptr_t(otherParent))), 1);
    EXPECT_TRUE(shows(parent, size, expected));
    EXPECT_TRUE(shows(otherParent, size, expected));
    other.dispatcher(effEditClose);
    other.close();
}

} // namespace
} // namespace qel::test
