#include <gtest/gtest.h>

#include "Audio/VST/CAudioWrapperVSTEditor.h"
#include "Audio/VST/EditorSnapshot.h"
#include "Other/CPngFile.h"
#include <atomic>
#include <thread>

#include "Support/TempDir.h"
#include "Support/XvfbServer.h"
#include "UI/CAppDataLocal.h"
#include "UI/CWindowRenderer.h"
#include "WrapperInstance.h"

namespace qel::test {
namespace {

class EditorBindingTest : public WrapperInstanceTest {
protected:
    ERect rect() {
        ERect* reported = nullptr;
        EXPECT_EQ(effect->dispatcher(effect, effEditGetRect, 0, 0, &reported, 0), 1);
        return reported ? *reported : ERect{};
    }
    CAudioWrapperVSTEditor* editor() {
        return static_cast<CAudioWrapperVSTEditor*>(static_cast<AudioEffect*>(effect->object)->getEditor());
    }
    // A snapshot through the host's call, read back; the request's error text when it fails.
    std::string snapshot(double scale, CBitmap& picture) {
        SEditorSnapshotRequest request;
        const std::string path = dir.file("editor.png");
        request.path = path.c_str();
        request.scale = scale;
        if (effect->dispatcher(effect, effVendorSpecific, kEditorSnapshotIndex, 0, &request, 0) != 1)
            return request.error;
        CError* error = CPngFile::read(CString::fromUtf8(path), picture);
        EXPECT_EQ(error, nullptr);
        delete error;
        return "";
    }

    TempDir dir;
};

TEST_F(EditorBindingTest, HostSeesTheEditorAndItsSizeBeforeOpening) {
    create();
    EXPECT_TRUE(effect->flags & effFlagsHasEditor);
    const ERect reported = rect();
    EXPECT_EQ(reported.top, 0);
    EXPECT_EQ(reported.left, 0);
    EXPECT_EQ(reported.right, 614);
    EXPECT_EQ(reported.bottom, 163);
    EXPECT_FALSE(editor()->onWheel(1.0f));
    EXPECT_FALSE(editor()->isOpen());
}

TEST_F(EditorBindingTest, ScaleSettingChangedWhileClosedSizesTheNextOpening) {
    create();
    CAppDataLocal::instance().setText("ui-scale-usesr", "false", nullptr);
    CAppDataLocal::instance().setText("ui-scale", "1.5", nullptr);
    // Nothing changes until the editor closes: the host keeps the size it was told.
    EXPECT_EQ(rect().right, 614);
    effect->dispatcher(effect, effEditClose, 0, 0, nullptr, 0);
    EXPECT_EQ(rect().right, 921);
    EXPECT_EQ(rect().bottom, 245);
    CAppDataLocal::instance().setText("ui-scale", "1.0", nullptr);
    effect->dispatcher(effect, effEditClose, 0, 0, nullptr, 0);
    EXPECT_EQ(rect().right, 614);
}

TEST_F(EditorBindingTest, SnapshotDrawsTheEditorWithNoDisplayAtAnyScale) {
    create();
    CBitmap one, twice;
    ASSERT_EQ(snapshot(1.0, one), "");
    ASSERT_EQ(snapshot(2.0, twice), "");
    EXPECT_EQ(one.width(), 614);
    EXPECT_EQ(one.height(), 163);
    EXPECT_EQ(twice.width(), 1228);
    EXPECT_EQ(twice.height(), 326);
    // Opaque, and not one flat colour.
    size_t distinct = 0;
    for (int32_t y = 0; y < one.height(); ++y)
        for (int32_t x = 0; x < one.width(); ++x) {
            ASSERT_EQ(one.pixel(x, y) >> 24, 255u);
            distinct += one.pixel(x, y) != one.pixel(0, 0);
        }
    EXPECT_GT(distinct, size_t(one.width() * one.height() / 4));

    CBitmap none;
    const std::string error = snapshot(0.0, none);
    EXPECT_NE(error.find("A snapshot needs a file and a scale above 0."), std::string::npos) << error;
}

TEST_F(EditorBindingTest, ReadOutsShowTheInstancesValues) {
    create();
    CBitmap before, after, again;
    ASSERT_EQ(snapshot(1.0, before), "");
    const int32_t gain = 10; // OutGain
    effect->setParameter(effect, gain, 0.9f);
    ASSERT_EQ(snapshot(1.0, after), "");
    // Only the gain read-out (output group, under its knob place) changed.
    int32_t left = 614, right = -1, top = 163, bottom = -1;
    for (int32_t y = 0; y < 163; ++y)
        for (int32_t x = 0; x < 614; ++x)
            if (before.pixel(x, y) != after.pixel(x, y)) {
                left = std::min(left, x), right = std::max(right, x);
                top = std::min(top, y), bottom = std::max(bottom, y);
            }
    ASSERT_GE(right, 0) << "the read-out did not change";
    EXPECT_GE(left, 446 + 17);
    EXPECT_LE(right, 446 + 17 + 76);
    EXPECT_GE(top, 24 + 106);
    EXPECT_LE(bottom, 24 + 106 + 14);
    effect->setParameter(effect, gain, effect->getParameter(effect, gain));
    ASSERT_EQ(snapshot(1.0, again), "");
    EXPECT_TRUE(std::equal(after.data(), after.data() + 614 * 163, again.data()));
}

// The host's threads as they are while a user opens and closes the editor: audio on one, automation
// on another, the editor calls on a third.
TEST_F(EditorBindingTest, OpensAndClosesInAWindowWhileAudioAndAutomationRun) {
    if (!CXvfbServer::available()) GTEST_SKIP() << "Xvfb is not installed";
    CXvfbServer server({}, 1920, 1080);
    ASSERT_TRUE(server.isRunning()) << server.error();
    CXTestDriver driver;
    create();
    effect->dispatcher(effect, effSetSampleRate, 0, 0, nullptr, 48000.0f);
    effect->dispatcher(effect, effSetBlockSize, 0, 512, nullptr, 0);
    effect->dispatcher(effect, effMainsChanged, 0, 1, nullptr, 0);
    std::atomic<bool> stop{false};
    std::thread audio([&] {
        std::vector<float> in(512, 0.1f);
        std::vector<std::vector<float>> out(size_t(effect->numOutputs), std::vector<float>(512));
        std::vector<float*> inputs(size_t(effect->numInputs), in.data()), outputs;
        for (auto& channel : out)
            outputs.push_back(channel.data());
        while (!stop)
            effect->processReplacing(effect, inputs.data(), outputs.data(), 512);
    });
    std::thread automation([&] {
        for (int i = 0; !stop; ++i) {
            effect->setParameter(effect, 10, (i % 100) / 100.0f);
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    });
    const uint32_t parent = driver.createWindow(0, 0, 614, 163);
    for (int cycle = 0; cycle < 10; ++cycle) {
        ASSERT_EQ(
            effect->dispatcher(effect, effEditOpen, 0, 0, reinterpret_cast<void*>(uintptr_t(parent)), 0), 1);
        EXPECT_TRUE(editor()->isOpen());
        EXPECT_EQ(
            effect->dispatcher(effect, effEditOpen, 0, 0, reinterpret_cast<void*>(uintptr_t(parent)), 0), 0);
        CWindowRenderer* window = editor()->windowRenderer();
        ASSERT_NE(window, nullptr);
        ASSERT_TRUE(CXTestDriver::waitFor([&] { return window->presentedFrames() >= 2; }))
            << "cycle " << cycle;
        EXPECT_TRUE(editor()->onWheel(-1.0f));
        effect->dispatcher(effect, effEditClose, 0, 0, nullptr, 0);
        EXPECT_EQ(editor()->windowRenderer(), nullptr);
    }
    stop = true;
    audio.join();
    automation.join();
}

// The editor takes the keyboard on a click, except in hosts whose rules keep it for themselves.
TEST_F(EditorBindingTest, AClickGivesTheEditorTheKeyboardUnlessTheHostKeepsIt) {
    if (!CXvfbServer::available()) GTEST_SKIP() << "Xvfb is not installed";
    CXvfbServer server({}, 1920, 1080);
    ASSERT_TRUE(server.isRunning()) << server.error();
    CXTestDriver driver;
    for (const char* product : {"Test Host", "Cubase"}) {
        SCOPED_TRACE(product);
        host.product = product;
        create();
        const uint32_t parent = driver.createWindow(0, 0, 614, 163);
        ASSERT_EQ(
            effect->dispatcher(effect, effEditOpen, 0, 0, reinterpret_cast<void*>(uintptr_t(parent)), 0), 1);
        ASSERT_TRUE(
            CXTestDriver::waitFor([&] { return editor()->windowRenderer()->presentedFrames() >= 1; }));
        driver.setFocus(parent);
        driver.moveMouse(300, 80);
        driver.click(1);
        const bool takesFocus = std::string(product) == "Test Host";
        EXPECT_EQ(
            CXTestDriver::waitFor([&] { return driver.focusWindow() != parent; }, takesFocus ? 5000 : 300),
            takesFocus);
        effect->dispatcher(effect, effEditClose, 0, 0, nullptr, 0);
        effect->dispatcher(effect, effClose, 0, 0, nullptr, 0);
        effect = nullptr;
        driver.destroyWindow(parent);
    }
}

} // namespace
} // namespace qel::test
