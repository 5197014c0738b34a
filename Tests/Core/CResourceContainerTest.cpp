#include <cstring>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <random>
#include <zlib.h>

#include "Core/CFileReader.h"
#include "Core/CResourceContainer.h"
#include "Core/CWriteSeqBuffer.h"
#include "Support/ErrorText.h"
#include "Support/TempDir.h"

using namespace qel;

namespace {

const uint32_t kList = qelFourCC("alst");

// Few distinct values, so that the zlib stream has structure to damage.
CByteBuffer noise(size_t count) {
    std::mt19937 random{uint32_t(count)};
    CByteBuffer bytes(count);
    for (uint8_t& b : bytes)
        b = uint8_t(random() % 7);
    return bytes;
}

std::string readError(const CByteBuffer& bytes, CByteBuffer& block, bool& found) {
    return test::firstLine(
        CResourceContainer::read(bytes.data(), uint32_t(bytes.size()), kList, block, found));
}

} // namespace

TEST(CResourceContainer, HoldsOneCompressedBlockAndRejectsDamage) {
    test::TempDir dir;
    const CString path = CString::fromUtf8(dir.file("entry"));
    const CByteBuffer block = noise(5000);
    ASSERT_EQ(CResourceContainer::save(path, kList, block), nullptr);
    CFileReader reader; // any reader of compressed blocks understands the file
    CByteBuffer out;
    ASSERT_EQ(reader.open(path), nullptr);
    ASSERT_EQ(reader.readCompressedData(out, kList), nullptr);
    EXPECT_EQ(out, block);
    bool found = false;
    ASSERT_EQ(CResourceContainer::load(path, kList, out, found), nullptr);
    EXPECT_TRUE(found && out == block);
    ASSERT_EQ(CResourceContainer::load(path, qelFourCC("aprs"), out, found), nullptr) << "other type";
    EXPECT_TRUE(!found && out.empty());

    const std::string raw = test::readWholeFile(dir.file("entry"));
    CByteBuffer bytes(raw.begin(), raw.end());
    bytes.push_back(0);
    EXPECT_EQ(readError(bytes, out, found), "Resource container holds 1 bytes after its resource.");
    // A size field one short with a matching header check: the block reader stops early without
    // complaint, only the check over the content notices.
    bytes.pop_back();
    const uint32_t claimed = uint32_t(block.size() - 1);
    std::memcpy(bytes.data() + 4, &claimed, 4);
    const uint32_t headCheck = uint32_t(adler32(1, bytes.data() + 4, 4));
    std::memcpy(bytes.data() + 8, &headCheck, 4);
    EXPECT_EQ(readError(bytes, out, found),
              "Invalid CRC encountered in the resource data (expected " +
                  std::to_string(adler32(1, block.data(), uInt(block.size()))) + ", read " +
                  std::to_string(adler32(1, block.data(), uInt(claimed))) + ").");
    EXPECT_TRUE(!found && out.empty());
}

// Entry files come from disk and may hold anything: every input gives an error record, "another type"
// or exactly the content that was written.
TEST(CResourceContainer, FuzzedInputNeverYieldsWrongContent) {
    std::mt19937 random(20240611);
    const CByteBuffer block = noise(700);
    CWriteSeqBuffer buffer;
    ASSERT_EQ(CResourceContainer::write(buffer, kList, block), nullptr);
    const CByteBuffer good = buffer.join();
    int accepted = 0;
    for (int round = 0; round < 4000; ++round) {
        CByteBuffer bytes = good;
        if (round % 4 == 0) {
            bytes.resize(random() % 64);
            for (size_t i = round % 8 ? 0 : 4; i < bytes.size(); ++i)
                bytes[i] = uint8_t(random());
        } else {
            for (int edits = 1 + int(random() % 3); edits > 0; --edits) {
                size_t at = random() % bytes.size();
                switch (random() % 4) {
                case 0:
                    bytes[at] ^= uint8_t(1u << (random() % 8));
                    break;
                case 1:
                    bytes[at] = uint8_t(random());
                    break;
                case 2:
                    bytes.resize(at + 1);
                    break;
                default:
                    bytes.insert(bytes.begin() + long(at), uint8_t(random()));
                    break;
                }
            }
        }
        CByteBuffer out;
        bool found = false;
        CError* error = CResourceContainer::read(bytes.data(), uint32_t(bytes.size()), kList, out, found);
        if (error) {
            EXPECT_TRUE(error->count() > 0 && !found);
        } else if (found) {
            ASSERT_EQ(out, block) << "round " << round;
            ++accepted;
        } else {
            EXPECT_TRUE(bytes.size() >= 4 && std::memcmp(bytes.data(), good.data(), 4) != 0) << round;
        }
        qelErrRelease(error);
    }
    EXPECT_LT(accepted, 100) << "damage must be noticed, not just survived";
}
