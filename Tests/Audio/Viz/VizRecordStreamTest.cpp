#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "Audio/Viz/CAudioVizDataInfo.h"
#include "Audio/Viz/CAudioVizDataMeter.h"
#include "Audio/Viz/CAudioVizDataRGB.h"
#include "Audio/Viz/CAudioVizDataSpectrum.h"
#include "Audio/Viz/CAudioVizDataVScope.h"
#include "Audio/Viz/VizRecordStream.h"
#include "Core/CMemoryReader.h"
#include "Core/CWriteSeqBuffer.h"
#include "Support/ErrorText.h"

namespace qel {
namespace {

template <class T>
void put(CByteBuffer& out, T value) {
    uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof value);
    for (size_t i = 0; i < sizeof value; ++i)
        out.push_back(uint8_t(bits >> (8 * i)));
}

// Type, size and a header of 1, 2, 3, 0.5, 4.
void putHeader(CByteBuffer& out, int32_t type, int32_t size) {
    for (int32_t value : {type, size, 1, 2, 3})
        put(out, value);
    put(out, 0.5);
    put(out, int32_t(4));
}

CByteBuffer written(const CAudioVizData& record) {
    CWriteSeqBuffer buffer;
    EXPECT_EQ(qelVizWriteRecord(buffer, record), nullptr);
    return buffer.join();
}

std::string readError(const CByteBuffer& bytes) {
    CMemoryReader reader(bytes);
    std::unique_ptr<CAudioVizData> record;
    return test::firstLine(qelVizReadRecord(reader, record));
}

TEST(VizRecordStreamTest, EveryTypeRoundTripsWithItsLayout) {
    CAudioVizDataMeter meter;
    meter.peak = 0.75;
    meter.rms = -1.0 / 3;
    CAudioVizDataSpectrum spectrum;
    spectrum.magnitudes = {0.0, 1e-9, 1e300};
    spectrum.binWidth = 10.77;
    spectrum.fftSize = 4096;
    spectrum.flags = 0x55;
    CAudioVizDataInfo info;
    info.text = CString::fromUtf8("Ölpreis über 40 °C");
    info.value = -7;
    CAudioVizDataVScope scope;
    scope.markers = {-5, 0, 2147483647};
    CAudioVizDataRGB rgb;
    rgb.green = 0.5;
    CByteBuffer expected;
    putHeader(expected, 0, 40);
    put(expected, 0.75);
    put(expected, -1.0 / 3);
    putHeader(expected, 3, 24 + 4 + 3 * 8 + 28);
    put(expected, int32_t(3));
    for (double value : {0.0, 1e-9, 1e300, 10.77})
        put(expected, value);
    for (int32_t value : {0, 4096})
        put(expected, value);
    put(expected, 0.0);
    put(expected, int32_t(0x55));

    CWriteSeqBuffer all;
    for (CAudioVizData* record :
         std::initializer_list<CAudioVizData*>{&meter, &spectrum, &info, &scope, &rgb}) {
        record->source = 1;
        record->kind = 2;
        record->sequence = 3;
        record->time = 0.5;
        record->frames = 4;
        ASSERT_EQ(qelVizWriteRecord(all, *record), nullptr);
    }
    const CByteBuffer bytes = all.join();
    ASSERT_GT(bytes.size(), expected.size());
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), bytes.begin())) << "little-endian layout";
    // What is read back writes the same bytes again.
    CMemoryReader reader(bytes);
    CWriteSeqBuffer again;
    std::vector<int32_t> types;
    for (int i = 0; i < 5; ++i) {
        std::unique_ptr<CAudioVizData> record;
        ASSERT_EQ(test::firstLine(qelVizReadRecord(reader, record)), "");
        ASSERT_NE(record, nullptr);
        types.push_back(record->type());
        ASSERT_EQ(qelVizWriteRecord(again, *record), nullptr);
    }
    EXPECT_EQ(types, (std::vector<int32_t>{0, 3, 1, 4, 5}));
    EXPECT_EQ(again.join(), bytes);
}

TEST(VizRecordStreamTest, UndefinedTypesAreSkippedByTheirSize) {
    CAudioVizDataMeter meter;
    CAudioVizDataRGB rgb;
    rgb.red = 0.75;
    CByteBuffer bytes = written(meter);
    put(bytes, int32_t(2));
    put(bytes, int32_t(13));
    bytes.insert(bytes.end(), 13, 0xA5);
    for (int32_t value : {6, 0, -1, 4, 3})
        put(bytes, value);
    const CByteBuffer tail = written(rgb);
    bytes.insert(bytes.end(), tail.begin(), tail.end());

    CMemoryReader reader(bytes);
    std::vector<int32_t> types;
    for (int i = 0; i < 5; ++i) {
        std::unique_ptr<CAudioVizData> record;
        ASSERT_EQ(test::firstLine(qelVizReadRecord(reader, record)), "") << i;
        types.push_back(record ? record->type() : -100);
        if (i == 4) {
            EXPECT_EQ(static_cast<CAudioVizDataRGB&>(*record).red, 0.75);
        }
    }
    EXPECT_EQ(types, (std::vector<int32_t>{0, -100, -100, -100, 5}));
    std::unique_ptr<CAudioVizData> record;
    EXPECT_NE(test::firstLine(qelVizReadRecord(reader, record)), "") << "nothing is left";
}

TEST(VizRecordStreamTest, MalformedRecordsFailCleanly) {
    CAudioVizDataSpectrum spectrum;
    spectrum.magnitudes = {1, 2, 3};
    const CByteBuffer whole = written(spectrum);
    for (size_t cut = 0; cut < whole.size(); ++cut)
        EXPECT_NE(readError(CByteBuffer(whole.begin(), whole.begin() + long(cut))), "") << cut;
    CByteBuffer undefined;
    putHeader(undefined, 9, 100);
    EXPECT_NE(readError(undefined), "") << "an undefined record cut short";

    CByteBuffer longer;
    putHeader(longer, 0, 48);
    longer.resize(longer.size() + 24);
    EXPECT_EQ(readError(longer), "Record of type 0 declares 48 bytes but holds 40.");
    CByteBuffer shorter;
    putHeader(shorter, 0, 32);
    shorter.resize(shorter.size() + 16);
    EXPECT_EQ(readError(shorter), "Record of type 0 reads beyond its size of 32 bytes.");
    CByteBuffer negative;
    putHeader(negative, 2, -8);
    EXPECT_EQ(readError(negative), "Invalid size -8 of a record of type 2.");

    // Counts are checked against the declared size before anything is allocated for them.
    for (int32_t forged : {0x7FFFFFFF, 0x20000001, 7}) {
        CByteBuffer bytes;
        putHeader(bytes, 3, 24 + 4 + 3 * 8 + 28);
        put(bytes, forged);
        bytes.resize(bytes.size() + 3 * 8 + 28);
        EXPECT_EQ(readError(bytes),
                  "Value count " + std::to_string(forged) + " exceeds the 52 bytes left in the stream.");
    }
    CByteBuffer negativeCount;
    putHeader(negativeCount, 4, 24 + 8);
    put(negativeCount, int32_t(0));
    put(negativeCount, int32_t(-1));
    EXPECT_EQ(readError(negativeCount), "Invalid value count -1.");
}

TEST(VizRecordStreamTest, RandomAndMutatedBytesGiveRecordsOrCleanErrors) {
    CAudioVizDataInfo info;
    info.text = "level";
    CAudioVizDataSpectrum spectrum;
    spectrum.magnitudes.assign(40, 0.5);
    CAudioVizDataVScope scope;
    scope.trace.assign(30, 7);
    scope.markers = {1, 2};
    CWriteSeqBuffer valid;
    for (const CAudioVizData* record : std::initializer_list<const CAudioVizData*>{&info, &spectrum, &scope})
        ASSERT_EQ(qelVizWriteRecord(valid, *record), nullptr);
    const CByteBuffer original = valid.join();

    std::mt19937 rng(20240611);
    int records = 0;
    int errors = 0;
    for (int round = 0; round < 3000; ++round) {
        CByteBuffer bytes = original;
        if (round % 3 == 0) {
            bytes.resize(rng() % 200);
            for (uint8_t& b : bytes)
                b = uint8_t(rng());
        } else {
            for (int m = 0, n = 1 + int(rng() % 6); m < n; ++m)
                bytes[rng() % bytes.size()] = uint8_t(rng());
            if (round % 5 == 0) bytes.resize(rng() % bytes.size());
        }
        CMemoryReader reader(bytes);
        for (uint64_t start = 0, end = 0; start < bytes.size(); start = end) {
            std::unique_ptr<CAudioVizData> record;
            CError* error = qelVizReadRecord(reader, record);
            if (error) {
                ++errors;
                EXPECT_FALSE(error->line(0).isEmpty());
                qelErrRelease(error);
                break;
            }
            ASSERT_EQ(reader.getPosition(end), nullptr);
            if (!record) continue;
            ++records;
            // What was read is what its declared size said, and no more was allocated for it.
            int32_t declared = 0;
            std::memcpy(&declared, bytes.data() + start + 4, 4);
            EXPECT_EQ(end - start, uint64_t(declared) + 8);
            if (auto* s = dynamic_cast<CAudioVizDataSpectrum*>(record.get())) {
                EXPECT_LE(s->magnitudes.capacity() * 8, size_t(declared));
            }
            if (auto* v = dynamic_cast<CAudioVizDataVScope*>(record.get())) {
                EXPECT_LE((v->trace.capacity() + v->markers.capacity()) * 4, size_t(declared));
            }
        }
    }
    EXPECT_GT(records, 1000);
    EXPECT_GT(errors, 1000);
}

} // namespace
} // namespace qel
