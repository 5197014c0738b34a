#include <gtest/gtest.h>

#include <random>

#include "Other/CPngFile.h"
#include "Support/ErrorText.h"
#include "Support/TempDir.h"

namespace qel::test {
namespace {

CBitmap gradient(int32_t width, int32_t height) {
    CBitmap bitmap(width, height);
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x)
            bitmap.row(y)[x] = CColor{uint8_t(x * 7), uint8_t(y * 13), uint8_t(x ^ y), 255}.premultiplied();
    return bitmap;
}

TEST(CPngFileTest, OpaquePicturesRoundTripExactlyThroughFiles) {
    TempDir dir;
    const CBitmap original = gradient(37, 19);
    const CString path = CString::fromUtf8(dir.file("picture.png"));
    ASSERT_EQ(firstLine(CPngFile::write(path, original)), "");
    CBitmap read;
    ASSERT_EQ(firstLine(CPngFile::read(path, read)), "");
    ASSERT_EQ(read.width(), 37);
    ASSERT_EQ(read.height(), 19);
    EXPECT_TRUE(std::equal(original.data(), original.data() + 37 * 19, read.data()));
    EXPECT_EQ(firstLine(CPngFile::read(CString::fromUtf8(dir.file("missing.png")), read))
                  .rfind("Unable to open picture", 0),
              0u);
}

TEST(CPngFileTest, DamagedFilesAreRefusedWithAReason) {
    std::vector<uint8_t> bytes;
    CPngFile::encode(gradient(16, 9), bytes);
    CBitmap bitmap;
    // Every truncation, and random damage to every part: refused or read, never a crash.
    for (size_t length = 0; length < bytes.size(); ++length) {
        std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + std::ptrdiff_t(length));
        EXPECT_NE(firstLine(CPngFile::decode(cut, bitmap)), "") << length;
    }
    std::mt19937 random(7);
    for (int trial = 0; trial < 2000; ++trial) {
        std::vector<uint8_t> damaged = bytes;
        for (int flips = 1 + int(random() % 4); flips > 0; --flips)
            damaged[random() % damaged.size()] ^= uint8_t(1u << (random() % 8));
        delete CPngFile::decode(damaged, bitmap);
    }
    EXPECT_EQ(firstLine(CPngFile::decode({}, bitmap)), "Not a picture this program reads (signature).");
}

} // namespace
} // namespace qel::test
