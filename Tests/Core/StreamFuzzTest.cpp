#include <cstring>
#include <gtest/gtest.h>
#include <random>
#include <zlib.h>

#include "Core/CMemoryReader.h"
#include "Core/CWriteSeqBuffer.h"

using namespace qel;

namespace {

// Valid inputs the mutations start from: strings and both block forms, with plausible headers.
std::vector<CByteBuffer> seeds() {
    std::vector<CByteBuffer> result;
    CByteBuffer payload(3000);
    for (size_t i = 0; i < payload.size(); ++i)
        payload[i] = uint8_t((i * i) >> 3);
    for (uint32_t size : {0u, 1u, 100u, 3000u}) {
        CWriteSeqBuffer zlibBlock, lz4Block, text;
        EXPECT_EQ(zlibBlock.writeCompressedData(payload.data(), size, qelFourCC("abnk")), nullptr);
        EXPECT_EQ(lz4Block.writeCompressedDataLZ4(payload.data(), size, qelFourCC("abnk")), nullptr);
        EXPECT_EQ(text.writeString(CString::fromUtf8(std::string(size % 97, 'x') + "\xE2\x82\xAC\xC3\xA9")),
                  nullptr);
        result.push_back(zlibBlock.join());
        result.push_back(lz4Block.join());
        result.push_back(text.join());
    }
    return result;
}

CByteBuffer mutate(CByteBuffer bytes, std::mt19937& random) {
    int edits = 1 + int(random() % 4);
    for (int e = 0; e < edits; ++e) {
        switch (random() % 5) {
        case 0: // flip a bit
            if (!bytes.empty()) bytes[random() % bytes.size()] ^= uint8_t(1u << (random() % 8));
            break;
        case 1: // truncate
            bytes.resize(bytes.empty() ? 0 : random() % bytes.size());
            break;
        case 2: // random byte
            if (!bytes.empty()) bytes[random() % bytes.size()] = uint8_t(random());
            break;
        case 3: // insert bytes
            bytes.insert(bytes.begin() + (bytes.empty() ? 0 : random() % bytes.size()), 1 + random() % 8,
                         uint8_t(random()));
            break;
        default: // overwrite a payload word past the header
            if (bytes.size() > 20) {
                size_t at = 16 + random() % (bytes.size() - 20);
                uint32_t word = random();
                std::memcpy(bytes.data() + at, &word, 4);
            }
        }
    }
    return bytes;
}

// Every parser must give either a clean error or a result; the sanitizer build checks the memory side.
void parseAll(const CByteBuffer& bytes) {
    for (bool exposed : {false, true}) {
        auto run = [&](auto parse) {
            CMemoryReader owning(bytes);
            CMemoryReaderStatic borrowed(bytes.data(), int32_t(bytes.size()));
            CInputStream& reader = exposed ? static_cast<CInputStream&>(borrowed) : owning;
            CError* error = parse(reader);
            if (error) {
                EXPECT_GT(error->count(), 1);
                EXPECT_FALSE(error->line(0).isEmpty());
            }
            qelErrRelease(error);
        };
        run([](CInputStream& r) {
            CString text;
            return r.readString(text);
        });
        run([](CInputStream& r) {
            CByteBuffer data;
            CError* error = r.readCompressedData(data, qelFourCC("abnk"));
            if (!error) {
                EXPECT_LE(data.size(), 3000u);
            }
            return error;
        });
        run([](CInputStream& r) {
            CByteBuffer data;
            CError* error = r.readCompressedDataLZ4(data, qelFourCC("abnk"));
            if (!error) {
                EXPECT_LE(data.size(), 3000u);
            }
            return error;
        });
    }
}

} // namespace

TEST(StreamFuzz, RandomAndMutatedInputsFailCleanly) {
    std::mt19937 random(20261206);
    std::vector<CByteBuffer> corpus = seeds();
    for (const CByteBuffer& seed : corpus)
        parseAll(seed);
    for (int round = 0; round < 3000; ++round) {
        CByteBuffer bytes;
        if (round % 3 == 0) {
            bytes.resize(random() % 64);
            for (uint8_t& b : bytes)
                b = uint8_t(random());
        } else {
            bytes = mutate(corpus[random() % corpus.size()], random);
        }
        parseAll(bytes);
    }
}

TEST(StreamFuzz, ForgedHeadersClaimingHugeSizesDoNotAllocateThem) {
    // Consistent headers (valid check values) in front of tiny payloads.
    for (uint32_t claimed : {0x7FFFFFFFu, 0xFFFFFFFFu, 0x10000000u}) {
        CByteBuffer zlibBlock = {'a', 'b', 'n', 'k', 0, 0, 0, 0, 0, 0, 0, 0, 0x78, 0x9C, 3, 0};
        std::memcpy(zlibBlock.data() + 4, &claimed, 4);
        uint32_t check = uint32_t(adler32(1, zlibBlock.data() + 4, 4));
        std::memcpy(zlibBlock.data() + 8, &check, 4);
        parseAll(zlibBlock);

        CByteBuffer lz4Block = {'a', 'b', 'n', 'k', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x10, 'x'};
        for (uint32_t compressed : {2u, 0xFFFFFFF0u}) {
            std::memcpy(lz4Block.data() + 4, &claimed, 4);
            std::memcpy(lz4Block.data() + 8, &compressed, 4);
            check = uint32_t(adler32(1, lz4Block.data() + 4, 8));
            std::memcpy(lz4Block.data() + 12, &check, 4);
            parseAll(lz4Block);
        }
    }
}
