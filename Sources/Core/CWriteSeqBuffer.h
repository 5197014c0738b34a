#pragma once

#include "Core/COutputStream.h"
#include "Core/CQelMemAllocator.h"

namespace qel {

// A growable write buffer made of chunks that never move; used to assemble messages and blocks.
class CWriteSeqBuffer : public COutputStream, public CQelMemAllocator {
public:
    explicit CWriteSeqBuffer(uint32_t minimumChunkSize = 256) : m_minChunk(minimumChunkSize) {}
    ~CWriteSeqBuffer() override;

    // Never fails.
    CError* write(const void* data, uint32_t count) override;
    // All chunks copied into one contiguous buffer.
    CByteBuffer join() const;
    // All chunks written in order to the target.
    CError* writeTo(COutputStream& target) const;

    uint64_t length() const;
    uint32_t chunkCount() const { return m_chunkCount; }
    uint32_t chunkLength(uint32_t index) const;

private:
    struct Chunk {
        uint8_t* data;
        uint32_t used; // capacity for every chunk but the current one
    };

    Chunk* m_chunks = nullptr;
    uint32_t m_chunkCapacity = 0;
    uint32_t m_chunkCount = 0;
    uint32_t m_minChunk;
    uint32_t m_free = 0;
    uint32_t m_currentCapacity = 0;
    uint8_t* m_writePtr = nullptr;
};

} // namespace qel
