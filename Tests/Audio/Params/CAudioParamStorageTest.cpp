#include "Audio/Params/CAudioParamStorage.h"

#include <cmath>
#include <gtest/gtest.h>

#include "Core/CMemoryReader.h"
#include "Core/CWriteSeqBuffer.h"
#include "ParamTree.h"

using namespace qel;

using CAudioParamStorageTest = test::ParamTreeTest;

namespace {

const char* const kReal = "shared::audio.paramcvt.real";

std::vector<double> groupOf(const CAudioParamStorage& storage, int32_t group) {
    const double* values = storage.groupValues(group);
    return values ? std::vector<double>(values, values + storage.elementCount(group) * storage.elementSize())
                  : std::vector<double>();
}

CByteBuffer saved(const CAudioParamStorage& storage, int32_t group) {
    CWriteSeqBuffer out;
    EXPECT_EQ(storage.save(out, group), nullptr);
    return out.join();
}

} // namespace

TEST_F(CAudioParamStorageTest, DefaultValuesFillGroupsAndElements) {
    const CAudioParamInfo* info = param({{"element-size", "2"},
                                         {"converter", kReal},
                                         {"converter2", kReal},
                                         {"min-values", "0 0"},
                                         {"max-values", "10 10"},
                                         {"def-values", "0 0"}});
    ASSERT_NE(info, nullptr);
    CAudioParamStorage storage;
    ASSERT_EQ(test::firstLine(storage.parseDefValues("1 2,3 4;5 6", *info)), "");
    EXPECT_EQ(storage.groupCount(), 2);
    EXPECT_EQ(groupOf(storage, 0), (std::vector<double>{1, 2, 3, 4}));
    EXPECT_EQ(groupOf(storage, 1), (std::vector<double>{5, 6}));
    EXPECT_EQ(storage.fallback(), groupOf(storage, 0));
    EXPECT_DOUBLE_EQ(storage.getValue(1, 1, -1), 6);
    EXPECT_DOUBLE_EQ(storage.getValue(1, 3, -1), 4) << "beyond the group's elements: the fallback";
    EXPECT_DOUBLE_EQ(storage.getValue(5, 0, -1), 1);
    EXPECT_DOUBLE_EQ(storage.getValue(0, 9, -1), 1) << "beyond the fallback: its first value";
    ASSERT_EQ(test::firstLine(storage.parseDefValues("20 -3", *info)), "");
    EXPECT_EQ(groupOf(storage, 0), (std::vector<double>{10, 0})) << "clamped by the converters";

    EXPECT_EQ(test::firstLine(storage.parseDefValues("1,2 3", *info)),
              "Not enough default elements at pos 1.");
    EXPECT_EQ(test::firstLine(storage.parseDefValues("1 2,3", *info)),
              "Not enough default elements at pos 5.");
    EXPECT_EQ(test::firstLine(storage.parseDefValues("1 2 3", *info)), "Default values parsing error.");
    EXPECT_EQ(test::firstLine(storage.parseDefValues("1 2;", *info)), "Default values parsing error.");
    EXPECT_EQ(test::firstLine(storage.parseDefValues("", *info)), "Default values parsing error.");

    CAudioParamStorage empty;
    EXPECT_DOUBLE_EQ(empty.getValue(0, 0, 7.5), 7.5) << "no data: the caller's fallback";
}

TEST_F(CAudioParamStorageTest, StringDefaultsKeepSpacesAndSaveRenumbered) {
    const CAudioParamInfo* info = param({{"element-size", "1"},
                                         {"data-type", "string"},
                                         {"converter", "shared::audio.paramcvt.text"},
                                         {"def-values", "Default"}});
    ASSERT_NE(info, nullptr);
    CAudioParamStorage storage;
    ASSERT_EQ(test::firstLine(storage.parseDefValues(" ,a b;c", *info)), "");
    EXPECT_EQ(storage.pool().getString(int32_t(storage.getValue(0, 0, 0))), " ");
    EXPECT_EQ(storage.pool().getString(int32_t(storage.getValue(0, 1, 0))), "a b");
    // Drop the first item and keep the rest out of order: the block numbers them as referenced.
    storage.pool().release(1);
    storage.setValue(0, 0, 0, 3);
    storage.setValue(1, 0, 0, 2);
    CByteBuffer block = saved(storage, -1);
    CMemoryReader reader(block);
    int32_t header[4];
    ASSERT_EQ(reader.read(header, sizeof(header)), nullptr);
    EXPECT_EQ(header[3], 2) << "group count";
    CAudioParamData pool;
    ASSERT_EQ(pool.load(reader), nullptr);
    EXPECT_EQ(pool.getString(1), "c");
    EXPECT_EQ(pool.getString(2), "a b");
    EXPECT_EQ(pool.getString(3), "a b");

    CAudioParamStorage copy;
    copy.initShape(*info);
    int32_t kept = copy.pool().addString("kept");
    copy.setFallback({double(kept)});
    copy.setValue(0, 0, 0, copy.pool().addString("old"));
    CMemoryReader again(block);
    ASSERT_EQ(test::firstLine(copy.load(again)), "");
    EXPECT_EQ(copy.pool().itemCount(), 4) << "the old item released, the fallback's kept";
    EXPECT_EQ(copy.pool().getString(kept), "kept");
    EXPECT_EQ(copy.pool().getString(int32_t(copy.getValue(0, 0, 0))), "c");
    EXPECT_EQ(copy.pool().getString(int32_t(copy.getValue(1, 0, 0))), "a b");
    EXPECT_EQ(saved(copy, -1), block);
}

TEST_F(CAudioParamStorageTest, BlocksOfOneGroupAndShapeChecks) {
    CAudioParamStorage storage;
    storage.setShape(2, 0, false, false);
    storage.setValue(0, 0, 1, 0.5);
    storage.setValue(3, 1, 0, -2);
    storage.setValue(CAudioParamStorage::kCommonGroup, 0, 0, 9);
    EXPECT_EQ(storage.groupCount(), 4);
    EXPECT_EQ(groupOf(storage, 3), (std::vector<double>{0, 0, -2, 0}));
    EXPECT_EQ(storage.fallback(), (std::vector<double>{9, 0}));

    CAudioParamStorage one;
    one.setShape(2, 0, false, false);
    CByteBuffer group3 = saved(storage, 3);
    CMemoryReader reader(group3);
    ASSERT_EQ(test::firstLine(one.load(reader)), "");
    EXPECT_EQ(one.groupCount(), 1);
    EXPECT_EQ(groupOf(one, 0), groupOf(storage, 3));
    CByteBuffer common = saved(storage, CAudioParamStorage::kCommonGroup);
    CMemoryReader commonReader(common);
    ASSERT_EQ(test::firstLine(one.load(commonReader)), "");
    EXPECT_EQ(groupOf(one, 0), (std::vector<double>{9, 0}));

    CAudioParamStorage wide;
    wide.setShape(3, 0, false, false);
    CMemoryReader shapeReader(group3);
    EXPECT_EQ(test::firstLine(wide.load(shapeReader)),
              "Unsupported storage format (esize=2, dtype=0; should be: esize=3, dtype=0).");
    group3[0] = 7;
    CMemoryReader versionReader(group3);
    EXPECT_EQ(test::firstLine(one.load(versionReader)),
              "qelstr_CAudioParamStorage_load_VersionError Unsupported data set version 7.");

    // A block cut inside the second group keeps the first.
    CByteBuffer all = saved(storage, -1);
    all.resize(all.size() - 8);
    CMemoryReader cut(all);
    CError* error = one.load(cut);
    ASSERT_NE(error, nullptr);
    EXPECT_GT(error->count(), 2);
    qelErrRelease(error);
    EXPECT_EQ(one.groupCount(), 3);
    EXPECT_EQ(groupOf(one, 0), (std::vector<double>{0, 0.5}));
}

TEST_F(CAudioParamStorageTest, ClampingKeepsValuesInsideEitherOrderOfLimits) {
    CAudioParamInfo info;
    info.elementSize = 2;
    info.minValues = {0, 10};
    info.maxValues = {1, -10};
    CAudioParamStorage storage;
    storage.setShape(2, 0, false, false);
    for (double v : {-1.0, 20.0, 2.0, -30.0, 0.5, 5.0, std::nan(""), 0.0}) {
        int32_t element = storage.elementCount(0);
        storage.setValue(0, element, 0, v);
        storage.setValue(0, element, 1, v);
    }
    storage.clamp(info);
    EXPECT_EQ(groupOf(storage, 0),
              (std::vector<double>{0, -1, 1, 10, 1, 2, 0, -10, 0.5, 0.5, 1, 5, 0, -10, 0, 0}));
}
