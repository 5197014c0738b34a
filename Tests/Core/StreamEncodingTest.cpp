#include <cstring>
#include <gtest/gtest.h>
#include <random>
#include <zlib.h>

#include "Core/CMemoryReader.h"
#include "Core/CWriteSeqBuffer.h"
#include "Support/ErrorText.h"

using namespace qel;

namespace {

CByteBuffer encodeString(int32_t length, const std::string& bytes) {
    CWriteSeqBuffer out;
    EXPECT_EQ(out.writeValue(length), nullptr);
    EXPECT_EQ(out.write(bytes.data(), uint32_t(bytes.size())), nullptr);
    return out.join();
}

CByteBuffer sample(size_t size) {
    CByteBuffer data(size);
    std::mt19937 random{uint32_t(size)};
    // Compressible but not trivial: runs of a few symbols.
    for (size_t i = 0; i < size; ++i)
        data[i] = uint8_t("emberline"[(i / 3 + random() % 2) % 9] + (i % 251 == 0));
    return data;
}

} // namespace

TEST(StreamStrings, LengthLimitsAndWidth) {
    CString text;
    {
        CMemoryReader reader(encodeString(61440, std::string(61440, 'a')));
        ASSERT_EQ(reader.readString(text), nullptr);
        EXPECT_EQ(text.length(), 61440u);
    }
    {
        CMemoryReader reader(encodeString(61441, std::string(61441, 'a')));
        EXPECT_EQ(test::firstLine(reader.readString(text)), "String length 61441 too long in readString().");
    }
    for (int32_t empty : {0, -1, INT32_MIN}) {
        text = "stale";
        CMemoryReader reader(encodeString(empty, ""));
        ASSERT_EQ(reader.readString(text), nullptr);
        EXPECT_TRUE(text.isEmpty());
    }
    {
        CMemoryReader reader(encodeString(6, "caf\xC3\xA9!"));
        ASSERT_EQ(reader.readString(text), nullptr);
        EXPECT_FALSE(text.isWide());
        EXPECT_EQ(text, CString("caf\xE9!"));
    }
    {
        CMemoryReader reader(encodeString(5, "1\xE2\x82\xAC"
                                             "2"));
        ASSERT_EQ(reader.readString(text), nullptr);
        EXPECT_TRUE(text.isWide());
        EXPECT_EQ(text.toUtf8(), "1\xE2\x82\xAC"
                                 "2");
    }
    {
        CMemoryReader reader(encodeString(10, "short"));
        EXPECT_EQ(test::firstLine(reader.readString(text)),
                  "Premature end of memory resource while reading (pos 4, count 10, size 9).");
    }
    CWriteSeqBuffer out;
    CString wide = CString::fromUtf8("\xCE\xA9 \xF0\x9F\x8E\xB8 done");
    ASSERT_EQ(out.writeString(wide), nullptr);
    ASSERT_EQ(out.writeString(CString()), nullptr);
    CByteBuffer bytes = out.join();
    EXPECT_EQ(bytes.size(), 4u + 12u + 4u);
    CMemoryReader reader(bytes);
    ASSERT_EQ(reader.readString(text), nullptr);
    EXPECT_EQ(text, wide);
    ASSERT_EQ(reader.readString(text), nullptr);
    EXPECT_TRUE(text.isEmpty());
}

TEST(CompressedBlocks, RoundTripAtBufferBoundaries) {
    const uint32_t id = qelFourCC("abnk");
    for (size_t size : {size_t(0), size_t(1), size_t(32767), size_t(32768), size_t(32769), size_t(1) << 20}) {
        CByteBuffer data = sample(size);
        CWriteSeqBuffer out;
        ASSERT_EQ(out.writeCompressedData(data, id), nullptr);
        ASSERT_EQ(out.writeCompressedDataLZ4(data, id), nullptr);
        ASSERT_EQ(out.writeValue(uint32_t(0xC0FFEE)), nullptr);
        CByteBuffer bytes = out.join();

        // Both blocks and what follows them must be readable in sequence, from exposed and from copied
        // memory.
        for (bool exposed : {false, true}) {
            CMemoryReader owning(bytes);
            CMemoryReaderStatic borrowed(bytes.data(), int32_t(bytes.size()));
            CInputStream& reader = exposed ? static_cast<CInputStream&>(borrowed) : owning;
            CByteBuffer zlibData, lz4Data;
            ASSERT_EQ(test::firstLine(reader.readCompressedData(zlibData, id)), "") << size;
            ASSERT_EQ(test::firstLine(reader.readCompressedDataLZ4(lz4Data, id)), "") << size;
            uint32_t trailer = 0;
            ASSERT_EQ(reader.readValue(trailer), nullptr);
            EXPECT_EQ(trailer, 0xC0FFEEu);
            EXPECT_EQ(zlibData, data);
            EXPECT_EQ(lz4Data, data);
        }
    }
}

TEST(CompressedBlocks, HeaderLayoutAndIntegrityChecks) {
    const uint32_t id = qelFourCC("adat");
    CByteBuffer data = sample(1000);
    CWriteSeqBuffer out;
    ASSERT_EQ(out.writeCompressedData(data, id), nullptr);
    CByteBuffer block = out.join();
    ASSERT_GT(block.size(), 14u);
    EXPECT_EQ(std::memcmp(block.data(), "adat", 4), 0);
    uint32_t size, check;
    std::memcpy(&size, block.data() + 4, 4);
    std::memcpy(&check, block.data() + 8, 4);
    EXPECT_EQ(size, 1000u);
    EXPECT_EQ(check, adler32(1, block.data() + 4, 4));
    EXPECT_EQ(block[12], 0x78) << "zlib header follows";
    CByteBuffer inflated(1000);
    uLongf inflatedSize = 1000;
    ASSERT_EQ(uncompress(inflated.data(), &inflatedSize, block.data() + 12, uLong(block.size() - 12)), Z_OK);
    EXPECT_EQ(inflated, data);

    CByteBuffer result;
    {
        CMemoryReader reader(block);
        EXPECT_EQ(test::firstLine(reader.readCompressedData(result, qelFourCC("alst"))),
                  "Invalid ID encountered when reading compressed data (expected " +
                      std::to_string(qelFourCC("alst")) + ", read " + std::to_string(id) + ").");
    }
    {
        CByteBuffer altered = block;
        altered[4] ^= 1;
        CMemoryReader reader(altered);
        EXPECT_EQ(test::firstLine(reader.readCompressedData(result, id)),
                  "Invalid CRC encountered when reading compressed data (expected " + std::to_string(check) +
                      ", read " + std::to_string(adler32(1, altered.data() + 4, 4)) + ").");
    }
    {
        CByteBuffer truncated(block.begin(), block.end() - 20);
        CMemoryReader reader(truncated);
        EXPECT_EQ(test::firstLine(reader.readCompressedData(result, id)), "Premature end of file.");
    }
    {
        // A size field larger than what the stream holds.
        CWriteSeqBuffer small;
        ASSERT_EQ(small.writeCompressedData(data.data(), 10, id), nullptr);
        CByteBuffer bytes = small.join();
        uint32_t claimed = 11;
        std::memcpy(bytes.data() + 4, &claimed, 4);
        uint32_t fixed = uint32_t(adler32(1, bytes.data() + 4, 4));
        std::memcpy(bytes.data() + 8, &fixed, 4);
        CMemoryReader reader(bytes);
        EXPECT_EQ(test::firstLine(reader.readCompressedData(result, id)), "Premature end of file.");
    }
}

TEST(CompressedBlocks, Lz4LayoutAndShortPayload) {
    const uint32_t id = qelFourCC("dstr");
    CByteBuffer data = sample(5000);
    CWriteSeqBuffer out;
    ASSERT_EQ(out.writeCompressedDataLZ4(data, id), nullptr);
    CByteBuffer block = out.join();
    uint32_t size, compressed, check;
    std::memcpy(&size, block.data() + 4, 4);
    std::memcpy(&compressed, block.data() + 8, 4);
    std::memcpy(&check, block.data() + 12, 4);
    EXPECT_EQ(size, 5000u);
    EXPECT_EQ(compressed, block.size() - 16);
    EXPECT_EQ(check, adler32(1, block.data() + 4, 8));

    // The same payload under a header that claims more bytes than it decodes to.
    CByteBuffer longer = block;
    uint32_t claimed = 5001;
    std::memcpy(longer.data() + 4, &claimed, 4);
    uint32_t fixed = uint32_t(adler32(1, longer.data() + 4, 8));
    std::memcpy(longer.data() + 12, &fixed, 4);
    CByteBuffer result;
    CMemoryReader reader(longer);
    EXPECT_EQ(test::firstLine(reader.readCompressedDataLZ4(result, id)),
              "Invalid uncompressed data (expected 5001 bytes, read 5000).");

    CByteBuffer altered = block;
    altered[9] ^= 0x40;
    CMemoryReaderStatic exposed(altered.data(), int32_t(altered.size()));
    EXPECT_EQ(test::firstLine(exposed.readCompressedDataLZ4(result, id)).rfind("Invalid CRC encountered", 0),
              0u);
}
