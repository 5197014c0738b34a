#pragma once

#include "Core/CInputStream.h"

namespace qel {

// Reads from a memory block it owns.
class CMemoryReader : public CPosInputStream {
public:
    CMemoryReader() = default;
    CMemoryReader(const void* data, int32_t size); // copies the bytes
    explicit CMemoryReader(CByteBuffer data);
    ~CMemoryReader() override;

    CError* getPosition(uint64_t& position) override;
    CError* setPosition(uint64_t position) override;
    CError* getSize(uint64_t& size) override;
    CError* skip(int32_t count) override;
    CError* read(void* buffer, uint32_t count) override;
    CError* readStreamed(void* buffer, uint32_t& count) override;

protected:
    struct Borrowed {};
    CMemoryReader(Borrowed, const void* data, int32_t size);

    const uint8_t* m_data = nullptr;
    int32_t m_size = 0;
    int32_t m_position = 0;

private:
    bool m_owned = false;
};

// Reads from memory it does not own (embedded data), and exposes it for in-place decoding.
class CMemoryReaderStatic : public CMemoryReader {
public:
    CMemoryReaderStatic(const void* data, int32_t size) : CMemoryReader(Borrowed{}, data, size) {}
    const uint8_t* getMemoryPtr() override { return m_data + m_position; }
};

} // namespace qel
