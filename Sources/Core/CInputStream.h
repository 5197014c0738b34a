#pragma once

#include <cstdint>
#include <vector>

#include "Core/CCheckedObject.h"
#include "Core/CError.h"
#include "Core/CPosStream.h"
#include "Core/CString.h"

namespace qel {

using CByteBuffer = std::vector<uint8_t>;

// Four characters in reading order as one little-endian 32-bit identifier ("abnk", "adat", ...).
constexpr uint32_t qelFourCC(const char (&id)[5]) {
    return uint32_t(uint8_t(id[0])) | uint32_t(uint8_t(id[1])) << 8 | uint32_t(uint8_t(id[2])) << 16 |
           uint32_t(uint8_t(id[3])) << 24;
}

class CInputStream : public virtual CCheckedObject {
public:
    // The bytes at the current position when the stream is memory it can expose; null otherwise.
    virtual const uint8_t* getMemoryPtr() { return nullptr; }
    virtual CError* skip(int32_t count);
    // Reads exactly count bytes or fails.
    virtual CError* read(void* buffer, uint32_t count) = 0;
    // Reads up to count bytes; count becomes the number read.
    virtual CError* readStreamed(void* buffer, uint32_t& count) { return read(buffer, count); }

    template <class T>
    CError* readValue(T& value) {
        return read(&value, sizeof(T));
    }
    CError* readString(CString& text);
    // Reads exactly count bytes into data, growing it step by step: a forged count fails at the end
    // of the stream instead of allocating what it claims.
    CError* readBytes(CByteBuffer& data, uint32_t count);
    CError* readCompressedData(CByteBuffer& data, uint32_t expectedId);
    CError* readCompressedDataLZ4(CByteBuffer& data, uint32_t expectedId);
};

class CPosInputStream : public CInputStream, public virtual CPosStream {};

} // namespace qel
