#include <gtest/gtest.h>

#include "Audio/ProductStartup.h"
#include "Core/CApplication.h"
#include "ResourceEmbedder/EmbeddedResources.h"
#include "Support/ErrorText.h"
#include "UI/CColorFill.h"
#include "UI/CDynamicPalette.h"
#include "UI/CView.h"
#include "UI/CWindowRenderer.h"

namespace qel::test {
namespace {

// A window of colour fields (RendererTree.xml), drawn with no system window.
class WindowRendererTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(qelProductStartup(g_embeddedResources), nullptr);
        ASSERT_EQ(CApplication::initRootObject(CString(), root), nullptr);
        ASSERT_EQ(root->setAttrBool("Offscreen", true), nullptr);
        ASSERT_EQ(root->setAttrDouble("VisualScale", scale()), nullptr);
        ASSERT_EQ(firstLine(root->loadXMLData(QEL_RENDERER_TREE, true)), "");
        window = dynamic_cast<CWindowRenderer*>(root->findObject("ui.main-window.window-renderer"));
        ASSERT_NE(window, nullptr);
    }
    void TearDown() override {
        CWindowRenderer::setProcessorCount(0);
        if (root) CApplication::releaseRootObject(root);
        CApplication::shutdown();
    }
    virtual double scale() const { return 1.0; }

    CView* view(const char* path) {
        const CString base("ui.main-window.view");
        return dynamic_cast<CView*>(root->findObject(*path ? base + "." + path : base));
    }
    uint32_t pixel(int32_t x, int32_t y) { return window->backBuffer().pixel(x, y); }
    // One frame with everything dirty, on the given number of threads.
    CBitmap renderAll(double numThreads) {
        EXPECT_EQ(window->setAttrDouble("num-threads", numThreads), nullptr);
        CBitmap picture;
        EXPECT_EQ(window->renderOffscreen(picture), nullptr);
        return picture;
    }

    CObject* root = nullptr;
    CWindowRenderer* window = nullptr;
};

TEST(WindowRendererWorkers, CountFollowsThreadsProcessorsAndDirtyTiles) {
    EXPECT_EQ(CWindowRenderer::workerCount(1.0, 4, 20), 3);
    EXPECT_EQ(CWindowRenderer::workerCount(1.0, 4, 1), 0);
    EXPECT_EQ(CWindowRenderer::workerCount(1.0, 4, 3), 2);
    EXPECT_EQ(CWindowRenderer::workerCount(0.5, 2, 30), 0);
    EXPECT_EQ(CWindowRenderer::workerCount(2.0, 16, 100), 7);
    EXPECT_EQ(CWindowRenderer::workerCount(0.3, 4, 100), 1);
}

TEST_F(WindowRendererTest, LayoutPlacesAlignsAndStretchesInsideBorders) {
    EXPECT_EQ(window->deviceWidth(), 200);
    EXPECT_EQ(window->deviceHeight(), 100);
    // The panel's content area is (15, 15)-(85, 65).
    EXPECT_EQ(view("panel.right")->frame(), (SViewRect{63, 15, 20, 10}));
    EXPECT_EQ(view("panel.centre")->frame(), (SViewRect{45, 35, 10, 10}));
    EXPECT_EQ(view("panel.stretch")->frame(), (SViewRect{19, 56, 60, 8}));
    EXPECT_EQ(view("group.inner")->frame(), (SViewRect{105, 15, 20, 20}));
}

TEST_F(WindowRendererTest, DrawsViewsInTreeOrderWithPaletteColoursAndBlending) {
    renderAll(1.0);
    EXPECT_EQ(pixel(2, 2), 0xff204060u);
    EXPECT_EQ(pixel(12, 12), 0xff808080u);
    // Half-transparent red over grey.
    EXPECT_EQ(pixel(70, 20), CBitmap::blendPixel(0xff808080u, CColor{255, 0, 0, 128}.premultiplied()));
    // A colour the palette lacks takes the view's fallback.
    EXPECT_EQ(pixel(151, 71), 0xff00ff00u);

    // Another scheme: colours it lacks come from the first one; every view is drawn again.
    ASSERT_EQ(root->findObject("ui.palette")->setAttr("palette-name", "Night", true), nullptr);
    ASSERT_EQ(window->renderPass(), nullptr);
    EXPECT_EQ(pixel(2, 2), 0xff000000u);
    EXPECT_EQ(pixel(12, 12), 0xff808080u);
}

TEST_F(WindowRendererTest, OneDirtyTileIsDrawnOnTheUserInterfaceThreadAlone) {
    CWindowRenderer::setProcessorCount(4);
    renderAll(1.0);
    view("small")->invalidate();
    ASSERT_EQ(window->renderPass(), nullptr);
    EXPECT_EQ(window->lastWorkerCount(), 0);
    EXPECT_EQ(window->lastTilesDrawn(), 1);

    // Nothing changed: nothing drawn.
    ASSERT_EQ(window->renderPass(), nullptr);
    EXPECT_EQ(window->lastTilesDrawn(), 0);
}

TEST_F(WindowRendererTest, WorkersDrawTheSamePixelsAsOneThread) {
    CWindowRenderer::setProcessorCount(4);
    const CBitmap alone = renderAll(0.25);
    EXPECT_EQ(window->lastWorkerCount(), 0);
    // 7 x 4 tiles, all dirty: num-threads 1.0 on four processors gives three workers.
    for (int pass = 0; pass < 20; ++pass) {
        const CBitmap shared = renderAll(1.0);
        ASSERT_EQ(window->lastWorkerCount(), 3);
        ASSERT_EQ(window->lastTilesDrawn(), 28);
        ASSERT_TRUE(std::equal(alone.data(), alone.data() + 200 * 100, shared.data()));
    }
}

TEST_F(WindowRendererTest, HiddenViewsAndTheirDescendantsAreNotDrawn) {
    renderAll(1.0);
    ASSERT_EQ(view("group")->setAttr("is-hidden", "true", true), nullptr);
    EXPECT_TRUE(view("group.inner")->isHidden());
    ASSERT_EQ(window->renderPass(), nullptr);
    EXPECT_EQ(pixel(110, 20), 0xff204060u);
    EXPECT_GT(window->lastTilesDrawn(), 0);

    ASSERT_EQ(view("group")->setAttr("is-hidden", "false", true), nullptr);
    ASSERT_EQ(window->renderPass(), nullptr);
    EXPECT_EQ(pixel(110, 20), 0xff808080u);
}

TEST_F(WindowRendererTest, MovedViewRepaintsWhereItWasAndWhereItIs) {
    renderAll(1.0);
    ASSERT_EQ(view("small")->setAttr("placement", "20 80 3 3", true), nullptr);
    ASSERT_EQ(window->renderPass(), nullptr);
    EXPECT_EQ(pixel(151, 71), 0xff204060u);
    EXPECT_EQ(pixel(21, 81), 0xff00ff00u);
    EXPECT_EQ(window->lastTilesDrawn(), 2);
    EXPECT_NE(firstLine(view("small")->setAttr("placement", "1 2 3", true)), "");
}

TEST_F(WindowRendererTest, RootUnderOnePixelNeverCreatesItsWindow) {
    ASSERT_EQ(root->setAttrBool("Offscreen", false), nullptr);
    ASSERT_EQ(view("")->setAttr("placement", "0 0 0.4 0.4", true), nullptr);
    ASSERT_EQ(window->onUpdateWindowScale(0), nullptr);
    ASSERT_EQ(window->onTick(), nullptr);
    EXPECT_FALSE(window->isCreated());
    EXPECT_EQ(firstLine(window->onUpdateWindowScale(7)), "Invalid mode.");
}

class WindowRendererScaledTest : public WindowRendererTest {
    double scale() const override { return 1.5; }
};

TEST_F(WindowRendererScaledTest, ScaleSizesTheWindowAndItsViews) {
    EXPECT_EQ(window->deviceWidth(), 300);
    EXPECT_EQ(window->deviceHeight(), 150);
    renderAll(1.0);
    // The small field covers (225, 105)-(229.5, 109.5): rounded edges.
    EXPECT_EQ(pixel(225, 105), 0xff00ff00u);
    EXPECT_EQ(pixel(229, 109), 0xff00ff00u);
    EXPECT_EQ(pixel(230, 110), 0xff204060u);
}

} // namespace
} // namespace qel::test
