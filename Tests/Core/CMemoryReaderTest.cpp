#include "Core/CMemoryReader.h"

#include <gtest/gtest.h>
#include <numeric>

#include "Support/ErrorText.h"

using namespace qel;

namespace {
CByteBuffer hundredBytes() {
    CByteBuffer bytes(100);
    std::iota(bytes.begin(), bytes.end(), uint8_t(0));
    return bytes;
}
} // namespace

TEST(CMemoryReader, BoundsAreCheckedWithExactMessages) {
    CMemoryReader reader(hundredBytes());
    uint8_t buffer[16];
    ASSERT_EQ(reader.setPosition(95), nullptr);
    EXPECT_EQ(test::firstLine(reader.read(buffer, 10)),
              "Premature end of memory resource while reading (pos 95, count 10, size 100).");
    EXPECT_EQ(test::firstLine(reader.skip(6)),
              "Premature end of memory resource while skipping (pos 95, count 6, size 100).");
    EXPECT_EQ(test::firstLine(reader.setPosition(101)),
              "Positioning beyond memory resource end (newpos 101, size 100).");
    EXPECT_EQ(test::firstLine(reader.read(buffer, 0xFFFFFFFFu)),
              "Premature end of memory resource while reading (pos 95, count 4294967295, size 100).");
    EXPECT_NE(test::firstLine(reader.skip(INT32_MAX)), "") << "must not wrap around";

    ASSERT_EQ(reader.read(buffer, 5), nullptr);
    EXPECT_EQ(buffer[0], 95);
    EXPECT_EQ(buffer[4], 99);
    ASSERT_EQ(reader.setPosition(100), nullptr) << "the end itself is a valid position";
    uint32_t count = 16;
    ASSERT_EQ(reader.readStreamed(buffer, count), nullptr);
    EXPECT_EQ(count, 0u);
    ASSERT_EQ(reader.setPosition(90), nullptr);
    count = 16;
    ASSERT_EQ(reader.readStreamed(buffer, count), nullptr);
    EXPECT_EQ(count, 10u);
    EXPECT_EQ(reader.getMemoryPtr(), nullptr) << "an owning reader does not expose its memory";

    int32_t position = 0, size = 0;
    ASSERT_EQ(reader.getPositionInt32(position), nullptr);
    ASSERT_EQ(reader.getSizeInt(size), nullptr);
    EXPECT_EQ(position, 100);
    EXPECT_EQ(size, 100);
}

TEST(CMemoryReader, StaticReaderExposesBorrowedMemory) {
    CByteBuffer bytes = hundredBytes();
    CMemoryReaderStatic reader(bytes.data(), int32_t(bytes.size()));
    ASSERT_EQ(reader.skip(40), nullptr);
    EXPECT_EQ(reader.getMemoryPtr(), bytes.data() + 40);
    uint8_t value = 0;
    ASSERT_EQ(reader.readValue(value), nullptr);
    EXPECT_EQ(value, 40);
}

namespace {
struct HugeStream : CPosStream {
    uint64_t value;
    explicit HugeStream(uint64_t v) : value(v) {}
    CError* getPosition(uint64_t& p) override { return p = value, nullptr; }
    CError* setPosition(uint64_t) override { return nullptr; }
    CError* getSize(uint64_t& s) override { return s = value, nullptr; }
};
} // namespace

TEST(CPosStream, ThirtyTwoBitCallsRejectTwoGigabytes) {
    int32_t out = 0;
    HugeStream below((uint64_t(1) << 31) - 1);
    ASSERT_EQ(below.getSizeInt(out), nullptr);
    EXPECT_EQ(out, INT32_MAX);
    HugeStream at(uint64_t(1) << 31);
    EXPECT_EQ(test::firstLine(at.getSizeInt(out)), "The size of the stream is above allowed 2 GB.");
    EXPECT_EQ(test::firstLine(at.getPositionInt32(out)), "The size of the stream is above allowed 2 GB.");
}
