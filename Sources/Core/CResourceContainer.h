#pragma once

#include <cstdint>

#include "Core/CInputStream.h"
#include "Core/COutputStream.h"

namespace qel {

// The file form of application data entries, preset and bank files, and the compiled-in defaults of
// the application data stores: a container holding one resource whose four-character type names the
// content ("aprs", "abnk", "alst", "adat", "dstr").
//
// Format: exactly one zlib compressed block (identifier = the resource type, uncompressed size,
// Adler-32 of the size field, zlib stream) and nothing after it. The block's own check covers only the
// size field, so reading also requires the zlib trailer (the Adler-32 of the content, the container's
// last four bytes, big-endian) to match the decoded bytes; any mismatch makes the container corrupt.
class CResourceContainer {
public:
    CResourceContainer() = delete;

    // Containers larger than this are refused before anything is read into memory.
    static constexpr uint32_t kMaxSize = 32u << 20;

    // Reads the resource of the requested type from the whole container in bytes. A container holding
    // another type is not an error: found is then false.
    static CError* read(const uint8_t* bytes, uint32_t size, uint32_t type, CByteBuffer& block, bool& found);
    // Reads the resource from the start of bytes and leaves whatever follows it unread; used is the
    // container's own length.
    static CError* readLeading(const uint8_t* bytes, uint32_t size, uint32_t type, CByteBuffer& block,
                               bool& found, uint32_t& used);
    // The same from the rest of a stream, read up to its end.
    static CError* read(CPosInputStream& stream, uint32_t type, CByteBuffer& block, bool& found);
    // Opens an embedded resource or a file by name (embedded resources shadow files) and reads it.
    static CError* load(const CString& name, uint32_t type, CByteBuffer& block, bool& found);

    static CError* write(COutputStream& stream, uint32_t type, const uint8_t* block, uint32_t size);
    static CError* write(COutputStream& stream, uint32_t type, const CByteBuffer& block) {
        return write(stream, type, block.data(), uint32_t(block.size()));
    }
    // Replaces the file at path with a container holding block as a resource of the type.
    static CError* save(const CString& path, uint32_t type, const CByteBuffer& block);
};

} // namespace qel
