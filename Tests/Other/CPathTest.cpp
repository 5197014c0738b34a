#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "Other/CPath.h"

namespace qel {
namespace {

double coveredArea(const std::vector<uint8_t>& mask) {
    double sum = 0;
    for (uint8_t c : mask)
        sum += c;
    return sum / 255.0;
}

TEST(CPathTest, RectEdgesOnHalfPixelsAreHalfCovered) {
    CPath path;
    path.addRect(0.5, 0.5, 3, 2); // device pixels 0..4 x 0..3, half of the outer ring covered
    std::vector<uint8_t> mask;
    path.rasterize(1.0, 0.0, 0.0, {0, 0, 5, 4}, mask);
    ASSERT_EQ(mask.size(), 20u);
    auto at = [&](int x, int y) { return int(mask[size_t(y * 5 + x)]); };
    EXPECT_EQ(at(0, 0), 64);
    EXPECT_EQ(at(1, 0), 128);
    EXPECT_EQ(at(2, 0), 128);
    EXPECT_EQ(at(0, 1), 128);
    EXPECT_EQ(at(1, 1), 255);
    EXPECT_EQ(at(2, 1), 255);
    EXPECT_EQ(at(3, 1), 128);
    EXPECT_EQ(at(3, 2), 64);
    EXPECT_EQ(at(4, 1), 0);
    EXPECT_EQ(at(1, 3), 0);

    // The same rect given in half units, scaled and shifted into place, gives the same bytes.
    CPath half;
    half.addRect(-1, -1, 6, 4);
    std::vector<uint8_t> scaled;
    half.rasterize(0.5, 1.0, 1.0, {0, 0, 5, 4}, scaled);
    EXPECT_EQ(scaled, mask);
}

TEST(CPathTest, CirclesAndBandsCoverTheirAreaAtEveryScaleAndClip) {
    for (double scale : {1.0, 1.25, 1.5, 2.0}) {
        CPath circle;
        circle.addEllipse(20.3, 19.7, 15, 15);
        std::vector<uint8_t> mask;
        const int size = int(std::ceil(40 * scale));
        circle.rasterize(scale, 0.0, 0.0, {0, 0, size, size}, mask);
        const double expected = std::numbers::pi * 15 * 15 * scale * scale;
        EXPECT_NEAR(coveredArea(mask), expected, expected * 0.01) << "scale " << scale;

        // A quarter of a ring: a band between two radii over 90 degrees.
        CPath band;
        band.addArcBand(20, 20, 10, 18, 0, 90);
        band.rasterize(scale, 0.0, 0.0, {0, 0, size, size}, mask);
        const double quarter = std::numbers::pi * (18 * 18 - 10 * 10) / 4 * scale * scale;
        EXPECT_NEAR(coveredArea(mask), quarter, quarter * 0.01) << "scale " << scale;
    }

    // Any part of the picture drawn alone matches the same part of the whole.
    CPath circle;
    circle.addEllipse(20.3, 19.7, 15, 15);
    std::vector<uint8_t> whole, part;
    circle.rasterize(1.5, 0.25, 0.0, {0, 0, 64, 64}, whole);
    circle.rasterize(1.5, 0.25, 0.0, {17, 23, 30, 20}, part);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 30; ++x)
            ASSERT_EQ(part[size_t(y * 30 + x)], whole[size_t((y + 23) * 64 + x + 17)]) << x << "," << y;
    // And an area left of and above the origin sees the path shifted out of it.
    circle.rasterize(1.0, 0.0, 0.0, {-10, -10, 30, 30}, part);
    EXPECT_EQ(part[0], 0);
    EXPECT_EQ(part[size_t(29 * 30 + 29)], 255);
}

TEST(CPathTest, NonZeroWindingFillsOverlapsAndReversedContoursCutHoles) {
    std::vector<uint8_t> mask;
    auto at = [&mask](int x, int y) { return int(mask[size_t(y * 20 + x)]); };

    CPath overlap;
    overlap.addRect(0, 0, 12, 10);
    overlap.addRect(6, 0, 12, 10);
    overlap.rasterize(1.0, 0.0, 0.0, {0, 0, 20, 10}, mask);
    EXPECT_EQ(at(3, 5), 255);
    EXPECT_EQ(at(8, 5), 255); // winding 2 is inside, not a hole
    EXPECT_EQ(at(15, 5), 255);
    EXPECT_EQ(at(19, 5), 0);

    CPath frame, inner;
    frame.addRoundRect(0, 0, 20, 10, 3);
    inner.addRect(4, 3, 12, 4);
    frame.addReversed(inner);
    frame.rasterize(1.0, 0.0, 0.0, {0, 0, 20, 10}, mask);
    EXPECT_EQ(at(10, 5), 0);
    EXPECT_EQ(at(2, 5), 255);
    EXPECT_EQ(at(10, 1), 255);
    EXPECT_LT(at(0, 0), 128); // the rounded corner

    // A full ring keeps its centre empty; a pie slice (no inner radius) does not.
    CPath ring, pie;
    ring.addArcBand(10, 5, 2, 5, -180, 180);
    ring.rasterize(1.0, 0.0, 0.0, {0, 0, 20, 10}, mask);
    EXPECT_EQ(at(9, 4), 0);
    EXPECT_EQ(at(10, 1), 255);
    pie.addArcBand(10, 5, 0, 5, 90, 180); // the lower right quarter
    pie.rasterize(1.0, 0.0, 0.0, {0, 0, 20, 10}, mask);
    EXPECT_EQ(at(11, 6), 255);
    EXPECT_EQ(at(8, 6), 0);
    EXPECT_EQ(at(11, 3), 0);
}

TEST(CPathTest, LinesCurvesAndDamagedInput) {
    std::vector<uint8_t> mask, again;
    CPath line;
    line.addLine(2, 5, 18, 5, 2);
    line.rasterize(1.0, 0.0, 0.0, {0, 0, 20, 10}, mask);
    EXPECT_EQ(mask[size_t(4 * 20 + 10)], 255);
    EXPECT_EQ(mask[size_t(5 * 20 + 10)], 255);
    EXPECT_EQ(mask[size_t(6 * 20 + 10)], 0);
    EXPECT_EQ(mask[size_t(5 * 20 + 1)], 0);
    EXPECT_NEAR(coveredArea(mask), 32, 0.1);

    // Curves are filled as drawn, and the same path always gives the same bytes.
    CPath curve;
    curve.moveTo(0, 10);
    curve.quadTo(10, -10, 20, 10);
    curve.cubicTo(15, 12, 5, 12, 0, 10);
    curve.close();
    curve.rasterize(1.3, 0.1, 0.2, {0, 0, 30, 20}, mask);
    curve.rasterize(1.3, 0.1, 0.2, {0, 0, 30, 20}, again);
    EXPECT_EQ(mask, again);
    // The hump above the chord (2/3 * 20 * 10) and the belly below it (21), in view units.
    EXPECT_NEAR(coveredArea(mask) / (1.3 * 1.3), 154.33, 154.33 * 0.01);

    CPath broken;
    broken.addRect(0, 0, std::nan(""), 5);
    broken.rasterize(1.0, 0.0, 0.0, {0, 0, 8, 8}, mask);
    EXPECT_EQ(coveredArea(mask), 0);
    CPath huge;
    huge.addRect(-1e30, -1e30, 2e30, 2e30);
    huge.rasterize(1.0, 0.0, 0.0, {0, 0, 8, 8}, mask);
    EXPECT_EQ(coveredArea(mask), 64);
    huge.rasterize(1.0, 0.0, 0.0, {0, 0, 0, 8}, mask);
    EXPECT_TRUE(mask.empty());
}

} // namespace
} // namespace qel
