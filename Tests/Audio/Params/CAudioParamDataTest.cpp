#include "Audio/Params/CAudioParamData.h"

#include <gtest/gtest.h>

#include "Audio/Params/CAudioParamDataItemRaw.h"
#include "Core/CMemoryReader.h"
#include "Core/CWriteSeqBuffer.h"
#include "Support/ErrorText.h"

using namespace qel;

TEST(CAudioParamData, ItemsAreIndexedFromOneAndCopiedUnderNewIndices) {
    CAudioParamData pool;
    EXPECT_EQ(pool.addString("first"), 1);
    EXPECT_EQ(pool.addRaw(), 2);
    EXPECT_EQ(pool.addRaw(CByteBuffer{1, 2, 3}), 3);
    pool.release(1);
    EXPECT_EQ(pool.addString("fourth"), 4) << "released indices are not handed out again";
    EXPECT_EQ(pool.itemCount(), 3);
    EXPECT_EQ(pool.getString(1), "");
    EXPECT_EQ(pool.getString(3), "") << "a raw item has no string";
    EXPECT_TRUE(pool.getRaw(4).empty()) << "a string item has no bytes";
    EXPECT_EQ(pool.getRaw(3), (CByteBuffer{1, 2, 3}));

    CAudioParamData other;
    other.addString("x");
    EXPECT_EQ(other.copyItem(pool, 3), 2);
    EXPECT_EQ(other.copyItem(pool, 1), 0) << "nothing to copy";
    EXPECT_EQ(other.getRaw(2), (CByteBuffer{1, 2, 3}));
    other.copyFrom(pool);
    EXPECT_EQ(other.lastIndex(), 4);
    EXPECT_EQ(other.getString(4), "fourth");

    EXPECT_EQ(CAudioParamData::indexOfValue(2.5), 3);
    EXPECT_EQ(CAudioParamData::indexOfValue(2.4999), 2);
    EXPECT_EQ(CAudioParamData::indexOfValue(-2.5), -3);
    EXPECT_EQ(CAudioParamData::indexOfValue(1e300), 0);
}

TEST(CAudioParamData, PoolBlocksRoundTripAndRejectBadItems) {
    CAudioParamData pool;
    pool.addString("drop");
    pool.addString(CString::fromUtf8("Kl\xC3\xA4nge"));
    pool.addRaw(CByteBuffer(70000, 0xA5));
    pool.release(1);
    CWriteSeqBuffer out;
    ASSERT_EQ(pool.save(out), nullptr);
    CByteBuffer bytes = out.join();

    CAudioParamData loaded;
    loaded.addString("replaced");
    CMemoryReader reader(bytes);
    ASSERT_EQ(loaded.load(reader), nullptr);
    EXPECT_EQ(loaded.itemCount(), 2);
    EXPECT_EQ(loaded.lastIndex(), 3);
    EXPECT_EQ(loaded.getString(1), "");
    EXPECT_EQ(loaded.getString(2).toUtf8(), "Kl\xC3\xA4nge");
    EXPECT_EQ(loaded.getRaw(3), CByteBuffer(70000, 0xA5));
    EXPECT_EQ(loaded.addString("next"), 4);

    const auto loadError = [](std::vector<int32_t> words) {
        CAudioParamData target;
        CMemoryReader input(words.data(), int32_t(words.size() * 4));
        return test::firstLine(target.load(input));
    };
    EXPECT_EQ(loadError({1, 5, 3, 0}), "Unknown data type 3 encountered");
    EXPECT_EQ(loadError({1, 0, 1, 0}), "Invalid item index 0.");
    EXPECT_EQ(loadError({2, 4, 1, 0, 4, 1, 0}), "Invalid item index 4.") << "twice";
    EXPECT_EQ(loadError({-1}), "Invalid item count -1.");
    EXPECT_EQ(loadError({1, 1, 2, -5}), "Invalid raw data length -5.");
}
