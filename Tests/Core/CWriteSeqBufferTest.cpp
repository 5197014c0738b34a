#include "Core/CWriteSeqBuffer.h"

#include <gtest/gtest.h>

#include "Core/CMemoryReader.h"

using namespace qel;

TEST(CWriteSeqBuffer, ChunksGrowWithoutMovingAndJoinInOrder) {
    CWriteSeqBuffer fresh;
    std::vector<uint8_t> big(300);
    for (size_t i = 0; i < big.size(); ++i)
        big[i] = uint8_t(i * 7);
    ASSERT_EQ(fresh.write(big.data(), 300), nullptr);
    EXPECT_EQ(fresh.chunkCount(), 1u) << "one chunk sized to the first write";
    EXPECT_EQ(fresh.chunkLength(0), 300u);
    EXPECT_EQ(fresh.join(), big);

    CWriteSeqBuffer buffer(16);
    std::vector<uint8_t> expected;
    for (int i = 0; i < 1000; ++i) {
        uint8_t piece[7];
        for (uint8_t& b : piece)
            b = uint8_t(expected.size() + (&b - piece));
        ASSERT_EQ(buffer.write(piece, uint32_t(i % 8)), nullptr);
        expected.insert(expected.end(), piece, piece + i % 8);
    }
    EXPECT_EQ(buffer.length(), expected.size());
    EXPECT_GT(buffer.chunkCount(), 100u);
    EXPECT_EQ(buffer.join(), expected);

    CWriteSeqBuffer copy;
    ASSERT_EQ(buffer.writeTo(copy), nullptr);
    EXPECT_EQ(copy.join(), expected);
    EXPECT_TRUE(CWriteSeqBuffer().join().empty());
}
