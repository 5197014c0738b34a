#include "Core/COutputStream.h"

#include <lz4.h>
#include <lz4hc.h>
#include <zlib.h>

#include "Core/COutputZipStream.h"

namespace qel {

namespace {

void putLittleEndian32(uint8_t* bytes, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        bytes[i] = uint8_t(value >> (8 * i));
}

} // namespace

CError* COutputStream::writeString(const CString& text) {
    std::string utf8 = text.toUtf8();
    QEL_CHECK(writeValue(int32_t(utf8.size())));
    if (!utf8.empty()) QEL_CHECK(write(utf8.data(), uint32_t(utf8.size())));
    return nullptr;
}

CError* COutputStream::writeCompressedData(const void* data, uint32_t size, uint32_t id) {
    uint8_t header[12];
    putLittleEndian32(header, id);
    putLittleEndian32(header + 4, size);
    putLittleEndian32(header + 8, uint32_t(adler32(1, header + 4, 4)));
    QEL_CHECK(write(header, sizeof(header)));
    COutputZipStream zip;
    QEL_CHECK(zip.open(this, Z_DEFAULT_COMPRESSION));
    if (CError* error = size ? zip.write(data, size) : nullptr) {
        qelErrRelease(zip.close());
        return QEL_PASS(error);
    }
    QEL_CHECK(zip.close());
    return nullptr;
}

CError* COutputStream::writeCompressedDataLZ4(const void* data, uint32_t size, uint32_t id) {
    const auto tooLarge = [size] {
        return QEL_ERROR(
            {},
            "@qelstr_COutputStream_writeCompressedDataLZ4_TooLarge Data of %1 bytes is too large for "
            "LZ4 compression.",
            size);
    };
    int bound = LZ4_compressBound(int(size));
    if (bound <= 0 || size > uint32_t(LZ4_MAX_INPUT_SIZE)) return tooLarge();
    CByteBuffer packed(size_t(bound) + 16);
    // The encoder wants a real source pointer even for no bytes.
    const char* source = size ? static_cast<const char*>(data) : reinterpret_cast<const char*>(packed.data());
    int compressed =
        LZ4_compress_HC(source, reinterpret_cast<char*>(packed.data() + 16), int(size), bound, 12);
    if (compressed <= 0) return tooLarge();
    putLittleEndian32(packed.data(), id);
    putLittleEndian32(packed.data() + 4, size);
    putLittleEndian32(packed.data() + 8, uint32_t(compressed));
    putLittleEndian32(packed.data() + 12, uint32_t(adler32(1, packed.data() + 4, 8)));
    QEL_CHECK(write(packed.data(), uint32_t(16 + compressed)));
    return nullptr;
}

} // namespace qel
