#pragma once

#include <cstdint>

#include "Core/CCheckedObject.h"
#include "Core/CError.h"
#include "Core/CInputStream.h"
#include "Core/CPosStream.h"
#include "Core/CString.h"

namespace qel {

class COutputStream : public virtual CCheckedObject {
public:
    virtual CError* write(const void* buffer, uint32_t count) = 0;

    template <class T>
    CError* writeValue(const T& value) {
        return write(&value, sizeof(T));
    }
    CError* writeString(const CString& text);
    CError* writeCompressedData(const void* data, uint32_t size, uint32_t id);
    CError* writeCompressedData(const CByteBuffer& data, uint32_t id) {
        return writeCompressedData(data.data(), uint32_t(data.size()), id);
    }
    CError* writeCompressedDataLZ4(const void* data, uint32_t size, uint32_t id);
    CError* writeCompressedDataLZ4(const CByteBuffer& data, uint32_t id) {
        return writeCompressedDataLZ4(data.data(), uint32_t(data.size()), id);
    }
};

class CPosOutputStream : public COutputStream, public virtual CPosStream {};

} // namespace qel
