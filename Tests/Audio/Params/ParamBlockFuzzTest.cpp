#include <cstring>
#include <gtest/gtest.h>
#include <random>

#include "Audio/Params/CAudioParamData.h"
#include "Audio/Params/CAudioParamInfo.h"
#include "Core/CMemoryReader.h"
#include "Core/CWriteSeqBuffer.h"
#include "ParamTree.h"

using namespace qel;

namespace {

class ParamBlockFuzzTest : public test::ParamTreeTest {
protected:
    enum Kind { Info, FloatStorage, StringStorage, RawStorage, Pool };

    // Valid blocks of every kind the mutations start from.
    std::vector<std::pair<Kind, CByteBuffer>> seeds() {
        std::vector<std::pair<Kind, CByteBuffer>> result;
        const auto add = [&result](Kind kind, auto write) {
            CWriteSeqBuffer out;
            EXPECT_EQ(write(out), nullptr);
            result.emplace_back(kind, out.join());
        };
        const char* const textCvt = "shared::audio.paramcvt.text";
        const CAudioParamInfo* pair = param(gain({{"element-size", "2"},
                                                  {"converter2", "shared::audio.paramcvt.enum"},
                                                  {"min-values", "-6 0"},
                                                  {"max-values", "6 2"},
                                                  {"state-names", "A;B"},
                                                  {"def-values", "1 1,2 2;3 0"}}));
        const CAudioParamInfo* text =
            param(gain({{"data-type", "string"}, {"converter", textCvt}, {"def-values", "one,two;three"}}));
        const CAudioParamInfo* raw =
            param(gain({{"data-type", "raw"}, {"converter", textCvt}, {"def-values", "x,y"}}));
        if (!pair || !text || !raw) return result;
        for (const CAudioParamInfo* info : {pair, text, raw})
            add(Info, [info](COutputStream& out) { return info->save(out); });
        add(FloatStorage, [pair](COutputStream& out) { return pair->defaults.save(out, -1); });
        add(StringStorage, [text](COutputStream& out) { return text->defaults.save(out, 1); });
        add(Pool, [text](COutputStream& out) { return text->defaults.pool().save(out); });
        CAudioParamStorage bytes;
        bytes.copyFrom(raw->defaults);
        bytes.setValue(0, 1, 0, bytes.pool().addRaw(CByteBuffer(300, 0x5A)));
        add(RawStorage, [&bytes](COutputStream& out) { return bytes.save(out, -1); });
        add(Pool, [&bytes](COutputStream& out) { return bytes.pool().save(out); });
        return result;
    }

    // A clean error or a result; the sanitizer build checks the memory side. Gives the message line.
    std::string parse(Kind kind, const CByteBuffer& bytes) {
        CMemoryReader reader(bytes);
        CError* error = nullptr;
        if (kind == Info) {
            CAudioParamInfo info;
            error = info.load(reader, root);
            if (!error) {
                EXPECT_EQ(int32_t(info.converters.size()), info.elementSize);
                EXPECT_EQ(info.minValues.size(), info.maxValues.size());
            }
        } else if (kind == Pool) {
            CAudioParamData pool;
            error = pool.load(reader);
        } else {
            CAudioParamStorage storage;
            storage.setShape(kind == FloatStorage ? 2 : 1,
                             kind == FloatStorage    ? 0
                             : kind == StringStorage ? 1
                                                     : 2,
                             false, false);
            error = storage.load(reader);
            if (!error && kind != FloatStorage)
                for (int32_t g = 0; g < storage.groupCount(); ++g)
                    for (int32_t e = 0; e < storage.elementCount(g); ++e) {
                        int32_t index = CAudioParamData::indexOfValue(storage.getValue(g, e, 0));
                        EXPECT_TRUE(index == 0 || storage.pool().item(index)) << "every value names an item";
                    }
        }
        if (error) {
            EXPECT_GT(error->count(), 1);
            EXPECT_FALSE(error->line(0).isEmpty());
        }
        return test::firstLine(error);
    }
};

CByteBuffer mutate(CByteBuffer bytes, std::mt19937& random) {
    int edits = 1 + int(random() % 4);
    for (int e = 0; e < edits; ++e) {
        switch (random() % 5) {
        case 0:
            if (!bytes.empty()) bytes[random() % bytes.size()] ^= uint8_t(1u << (random() % 8));
            break;
        case 1:
            bytes.resize(bytes.empty() ? 0 : random() % bytes.size());
            break;
        case 2:
            if (!bytes.empty()) bytes[random() % bytes.size()] = uint8_t(random());
            break;
        case 3:
            bytes.insert(bytes.begin() + (bytes.empty() ? 0 : random() % bytes.size()), 1 + random() % 8,
                         uint8_t(random()));
            break;
        default: // a whole word, often a count or a length
            if (bytes.size() >= 4) {
                size_t at = random() % (bytes.size() - 3);
                int32_t words[] = {-1, 0, 1, 0x7FFFFFFF, INT32_MIN, int32_t(random())};
                std::memcpy(bytes.data() + at, &words[random() % 6], 4);
            }
        }
    }
    return bytes;
}

} // namespace

TEST_F(ParamBlockFuzzTest, RandomAndMutatedBlocksFailCleanly) {
    std::mt19937 random(20261207);
    std::vector<std::pair<Kind, CByteBuffer>> corpus = seeds();
    ASSERT_EQ(corpus.size(), 8u);
    for (const auto& [kind, bytes] : corpus)
        parse(kind, bytes);
    for (int round = 0; round < 4000; ++round) {
        const auto& [kind, seed] = corpus[random() % corpus.size()];
        CByteBuffer bytes;
        if (round % 4 == 0) {
            bytes.resize(random() % 48);
            for (uint8_t& b : bytes)
                b = uint8_t(random());
            if (bytes.size() >= 4 && random() % 2) { // past the version check
                bytes[0] = 1;
                bytes[1] = bytes[2] = bytes[3] = 0;
            }
        } else {
            bytes = mutate(seed, random);
        }
        parse(kind, bytes);
    }
}

TEST_F(ParamBlockFuzzTest, ForgedCountsFailWithoutAllocatingThem) {
    const auto words = [](std::vector<int32_t> values) {
        return CByteBuffer(reinterpret_cast<uint8_t*>(values.data()),
                           reinterpret_cast<uint8_t*>(values.data() + values.size()));
    };
    struct Case {
        Kind kind;
        CByteBuffer bytes;
        const char* message;
    } cases[] = {
        {FloatStorage, words({1, 2, 0, 1, 0x7FFFFFFF, 0}), "Premature end of memory resource while reading"},
        {FloatStorage, words({1, 2, 0, 1, -4}), "Invalid count -4 in storage data."},
        {FloatStorage, words({1, 2, 0, -1}), "Invalid count -1 in storage data."},
        {StringStorage, words({1, 1, 1, 1, 0, 0x7FFFFFFF, 3}),
         "Premature end of memory resource while reading"},
        {Pool, words({0x7FFFFFFF, 1, 1, 0}), "Premature end of memory resource while reading"},
        {Pool, words({1, 1, 2, 0x7FFFFFFF, 0}), "Premature end of memory resource while reading"},
        {Info, words({1, 0, 0, 0, 0, 0, 0, 0x7FFFFFFF, 0, 0, 0}),
         "Premature end of memory resource while reading"},
        {Info, words({1, 0, 0, 0, 0, 0, 0, 0, 0}), "Unsupported parameter format (esize=0, dtype=0)."},
        {Info, words({1, 0, 0, 0, 0, 0, 0, 2, 1}), "Unsupported parameter format (esize=2, dtype=1)."},
        {Info, words({1, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, -2}), "Invalid state count -2."},
    };
    for (const Case& c : cases)
        EXPECT_TRUE(parse(c.kind, c.bytes).starts_with(c.message)) << c.message;
}
