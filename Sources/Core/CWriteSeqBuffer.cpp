#include "Core/CWriteSeqBuffer.h"

#include <algorithm>
#include <cstring>

namespace qel {

CWriteSeqBuffer::~CWriteSeqBuffer() {
    for (uint32_t i = 0; i < m_chunkCount; ++i)
        release(m_chunks[i].data);
    release(m_chunks);
}

CError* CWriteSeqBuffer::write(const void* data, uint32_t count) {
    auto* bytes = static_cast<const uint8_t*>(data);
    while (count > m_free) {
        if (m_free) {
            std::memcpy(m_writePtr, bytes, m_free);
            bytes += m_free;
            count -= m_free;
        }
        if (m_chunkCount) m_chunks[m_chunkCount - 1].used = m_currentCapacity;
        if (m_chunkCount == m_chunkCapacity) {
            uint32_t capacity = m_chunkCapacity * 2 + 1;
            auto* chunks = static_cast<Chunk*>(allocate(sizeof(Chunk) * capacity));
            if (m_chunkCount) std::memcpy(chunks, m_chunks, sizeof(Chunk) * m_chunkCount);
            release(m_chunks);
            m_chunks = chunks;
            m_chunkCapacity = capacity;
        }
        m_currentCapacity = std::max(count, m_minChunk);
        m_writePtr = static_cast<uint8_t*>(allocate(m_currentCapacity));
        m_chunks[m_chunkCount++] = {m_writePtr, 0};
        m_free = m_currentCapacity;
    }
    if (count) std::memcpy(m_writePtr, bytes, count);
    m_writePtr += count;
    m_free -= count;
    return nullptr;
}

uint32_t CWriteSeqBuffer::chunkLength(uint32_t index) const {
    return index + 1 == m_chunkCount ? m_currentCapacity - m_free : m_chunks[index].used;
}

uint64_t CWriteSeqBuffer::length() const {
    uint64_t total = 0;
    for (uint32_t i = 0; i < m_chunkCount; ++i)
        total += chunkLength(i);
    return total;
}

CByteBuffer CWriteSeqBuffer::join() const {
    CByteBuffer joined(length());
    uint8_t* target = joined.data();
    for (uint32_t i = 0; i < m_chunkCount; ++i) {
        std::memcpy(target, m_chunks[i].data, chunkLength(i));
        target += chunkLength(i);
    }
    return joined;
}

CError* CWriteSeqBuffer::writeTo(COutputStream& target) const {
    for (uint32_t i = 0; i < m_chunkCount; ++i)
        QEL_CHECK(target.write(m_chunks[i].data, chunkLength(i)));
    return nullptr;
}

} // namespace qel
