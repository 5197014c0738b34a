#include "Core/CInputStream.h"

#include <algorithm>
#include <cstring>
#include <lz4.h>
#include <zlib.h>

#include "Core/CInputZipStream.h"

namespace qel {

namespace {

constexpr int32_t kMaxStringLength = 61440;
// Blocks claiming more than this are filled step by step, so a corrupt size cannot allocate gigabytes
// before the data behind it proves to exist.
constexpr uint32_t kGrowStep = 1u << 20;

uint32_t adler(const uint8_t* bytes, uint32_t count) {
    return uint32_t(adler32(1, bytes, count));
}

uint32_t littleEndian32(const uint8_t* bytes) {
    return uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 | uint32_t(bytes[3]) << 24;
}

// Reads count bytes into data, growing it only as the bytes arrive.
CError* readGrowing(CInputStream& stream, CByteBuffer& data, uint32_t count) {
    data.clear();
    while (data.size() < count) {
        size_t done = data.size();
        uint32_t step = std::min<uint32_t>(kGrowStep, uint32_t(count - done));
        data.resize(done + step);
        QEL_CHECK(stream.read(data.data() + done, step));
    }
    return nullptr;
}

} // namespace

CError* CInputStream::skip(int32_t count) {
    uint8_t discard[4096];
    while (count > 0) {
        uint32_t step = std::min<uint32_t>(uint32_t(count), sizeof(discard));
        QEL_CHECK(read(discard, step));
        count -= int32_t(step);
    }
    return nullptr;
}

CError* CInputStream::readString(CString& text) {
    text.clear();
    int32_t length = 0;
    QEL_CHECK(readValue(length));
    if (length > kMaxStringLength)
        return QEL_ERROR(
            {},
            "@qelstr_CInputStream_readString_StringDataTooLong String length %1 too long in readString().",
            length);
    if (length <= 0) return nullptr;
    uint8_t small[48];
    CByteBuffer large;
    uint8_t* bytes = small;
    if (size_t(length) > sizeof(small)) {
        large.resize(size_t(length));
        bytes = large.data();
    }
    QEL_CHECK(read(bytes, uint32_t(length)));
    text = CString::fromUtf8(std::string_view(reinterpret_cast<const char*>(bytes), size_t(length)));
    return nullptr;
}

CError* CInputStream::readBytes(CByteBuffer& data, uint32_t count) {
    constexpr uint32_t kStep = 1u << 16;
    data.clear();
    while (data.size() < count) {
        const size_t done = data.size();
        const uint32_t step = std::min<uint32_t>(kStep, uint32_t(count - done));
        data.resize(done + step);
        QEL_CHECK(read(data.data() + done, step));
    }
    return nullptr;
}

CError* CInputStream::readCompressedData(CByteBuffer& data, uint32_t expectedId) {
    uint32_t id = 0;
    QEL_CHECK(readValue(id));
    if (id != expectedId)
        return QEL_ERROR(
            {},
            "@qelstr_CInputStream_readCompressedData_InvalidData Invalid ID encountered when reading "
            "compressed data (expected %1, read %2).",
            expectedId, id);
    uint8_t sizeBytes[4];
    uint32_t stored = 0;
    QEL_CHECK(read(sizeBytes, sizeof(sizeBytes)));
    QEL_CHECK(readValue(stored));
    uint32_t computed = adler(sizeBytes, sizeof(sizeBytes));
    if (stored != computed)
        return QEL_ERROR(
            {},
            "@qelstr_CInputStream_readCompressedData_HeadCRC Invalid CRC encountered when reading "
            "compressed data (expected %1, read %2).",
            stored, computed);

    CInputZipStream zip;
    QEL_CHECK(zip.open(this));
    if (CError* error = readGrowing(zip, data, littleEndian32(sizeBytes))) {
        qelErrRelease(zip.close());
        return QEL_PASS(error);
    }
    // Give back what the inflater read beyond the block, so that whatever follows it stays readable.
    uint32_t beyond = zip.finish();
    QEL_CHECK(zip.close());
    if (beyond > 0)
        if (auto* positioned = dynamic_cast<CPosStream*>(this)) {
            uint64_t position = 0;
            QEL_CHECK(positioned->getPosition(position));
            QEL_CHECK(positioned->setPosition(position - beyond));
        }
    return nullptr;
}

CError* CInputStream::readCompressedDataLZ4(CByteBuffer& data, uint32_t expectedId) {
    uint32_t id = 0;
    QEL_CHECK(readValue(id));
    if (id != expectedId)
        return QEL_ERROR(
            {},
            "@qelstr_CInputStream_readCompressedDataLZ4_InvalidData Invalid ID encountered when reading "
            "compressed data (expected %1, read %2).",
            expectedId, id);
    uint8_t sizeBytes[8];
    uint32_t stored = 0;
    QEL_CHECK(read(sizeBytes, sizeof(sizeBytes)));
    QEL_CHECK(readValue(stored));
    uint32_t computed = adler(sizeBytes, sizeof(sizeBytes));
    if (stored != computed)
        return QEL_ERROR(
            {},
            "@qelstr_CInputStream_readCompressedDataLZ4_HeadCRC Invalid CRC encountered when reading "
            "compressed data (expected %1, read %2).",
            stored, computed);
    uint32_t expected = littleEndian32(sizeBytes);
    uint32_t compressed = littleEndian32(sizeBytes + 4);
    const auto invalidData = [&](int64_t decoded) {
        return QEL_ERROR(
            {},
            "@qelstr_CInputStream_readCompressedDataLZ4_InvalidData2 Invalid uncompressed data (expected "
            "%1 bytes, read %2).",
            expected, decoded);
    };
    if (compressed > uint32_t(LZ4_MAX_INPUT_SIZE) || expected > uint32_t(INT32_MAX)) return invalidData(0);

    const uint8_t* source = getMemoryPtr();
    CByteBuffer copy;
    if (source) {
        // Skipping first proves that all compressed bytes are there before the decoder looks at them.
        QEL_CHECK(skip(int32_t(compressed)));
    } else {
        QEL_CHECK(readGrowing(*this, copy, compressed));
        source = copy.data();
    }
    // LZ4 expands at most about 255 times, so a larger claimed size cannot be right; do not allocate it.
    uint64_t capacity = std::min<uint64_t>(expected, uint64_t(compressed) * 255 + 64);
    data.resize(size_t(capacity));
    int decoded = LZ4_decompress_safe(reinterpret_cast<const char*>(source),
                                      reinterpret_cast<char*>(data.data()), int(compressed), int(capacity));
    if (decoded != int64_t(expected)) return invalidData(decoded);
    return nullptr;
}

} // namespace qel
