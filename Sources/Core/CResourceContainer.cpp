#include "Core/CResourceContainer.h"

#include <algorithm>
#include <zlib.h>

#include "Core/CFileWriter.h"
#include "Core/CMemoryReader.h"
#include "Core/CResourceReader.h"
#include "Core/CWriteSeqBuffer.h"

namespace qel {

namespace {

uint32_t littleEndian32(const uint8_t* bytes) {
    return uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 | uint32_t(bytes[3]) << 24;
}

uint32_t bigEndian32(const uint8_t* bytes) {
    return uint32_t(bytes[0]) << 24 | uint32_t(bytes[1]) << 16 | uint32_t(bytes[2]) << 8 | uint32_t(bytes[3]);
}

CError* tooLarge(uint64_t size) {
    return QEL_ERROR({},
                     "@qelstr_CResourceContainer_read_TooLarge Resource container of %1 bytes is larger than "
                     "the allowed %2 bytes.",
                     size, CResourceContainer::kMaxSize);
}

} // namespace

CError* CResourceContainer::readLeading(const uint8_t* bytes, uint32_t size, uint32_t type,
                                        CByteBuffer& block, bool& found, uint32_t& used) {
    found = false;
    block.clear();
    used = 0;
    // What follows a container may be of any length; the container itself is no larger than allowed.
    size = std::min(size, kMaxSize);
    // Too short a container fails in the block reader below with its own message.
    if (size >= 4 && littleEndian32(bytes) != type) return nullptr;

    CMemoryReaderStatic reader(bytes, int32_t(size));
    CByteBuffer content;
    QEL_CHECK(reader.readCompressedData(content, type));
    uint64_t end = 0;
    QEL_CHECK(reader.getPosition(end));
    // The reader stands right behind the zlib trailer when the stream ended; when it did not, the bytes
    // before its position are compressed data, which the check below refuses. A successful block read
    // has consumed at least the 12-byte header and a zlib stream with trailer.
    uint32_t stored = bigEndian32(bytes + end - 4);
    uint32_t computed = uint32_t(adler32(1, content.data(), uInt(content.size())));
    if (stored != computed)
        return QEL_ERROR(
            {},
            "@qelstr_CResourceContainer_read_DataCRC Invalid CRC encountered in the resource data "
            "(expected %1, read %2).",
            stored, computed);
    block.swap(content);
    found = true;
    used = uint32_t(end);
    return nullptr;
}

CError* CResourceContainer::read(const uint8_t* bytes, uint32_t size, uint32_t type, CByteBuffer& block,
                                 bool& found) {
    if (size > kMaxSize) return tooLarge(size);
    uint32_t used = 0;
    QEL_CHECK(readLeading(bytes, size, type, block, found, used));
    if (found && used != size) {
        found = false;
        block.clear();
        return QEL_ERROR({},
                         "@qelstr_CResourceContainer_read_TrailingData Resource container holds %1 bytes "
                         "after its resource.",
                         size - used);
    }
    return nullptr;
}

CError* CResourceContainer::read(CPosInputStream& stream, uint32_t type, CByteBuffer& block, bool& found) {
    found = false;
    block.clear();
    uint64_t position = 0;
    uint64_t size = 0;
    QEL_CHECK(stream.getPosition(position));
    QEL_CHECK(stream.getSize(size));
    const uint64_t remaining = size > position ? size - position : 0;
    if (remaining > kMaxSize) return tooLarge(remaining);

    if (const uint8_t* memory = stream.getMemoryPtr()) {
        QEL_CHECK(read(memory, uint32_t(remaining), type, block, found));
        QEL_CHECK(stream.setPosition(size));
        return nullptr;
    }
    CByteBuffer bytes(remaining);
    QEL_CHECK(stream.read(bytes.data(), uint32_t(remaining)));
    QEL_CHECK(read(bytes.data(), uint32_t(remaining), type, block, found));
    return nullptr;
}

CError* CResourceContainer::load(const CString& name, uint32_t type, CByteBuffer& block, bool& found) {
    found = false;
    block.clear();
    CResourceReader reader;
    QEL_CHECK(reader.open(name));
    QEL_CHECK(read(reader, type, block, found));
    return nullptr;
}

CError* CResourceContainer::write(COutputStream& stream, uint32_t type, const uint8_t* block, uint32_t size) {
    QEL_CHECK(stream.writeCompressedData(block, size, type));
    return nullptr;
}

CError* CResourceContainer::save(const CString& path, uint32_t type, const CByteBuffer& block) {
    // Assembled first, so that the file is rewritten in one go and never left holding a partial block
    // because compression failed.
    CWriteSeqBuffer buffer;
    QEL_CHECK(write(buffer, type, block));
    CFileWriter file;
    QEL_CHECK(file.open(path));
    if (CError* error = buffer.writeTo(file)) {
        qelErrRelease(file.close());
        return QEL_PASS(error);
    }
    QEL_CHECK(file.close());
    return nullptr;
}

} // namespace qel
