#include "Core/CMemoryReader.h"

#include <algorithm>
#include <cstring>

#include "Core/CQelMemAllocator.h"

namespace qel {

CMemoryReader::CMemoryReader(const void* data, int32_t size) : m_size(std::max(size, 0)), m_owned(true) {
    auto* copy = static_cast<uint8_t*>(CQelMemAllocator::allocate(size_t(m_size)));
    if (m_size) std::memcpy(copy, data, size_t(m_size));
    m_data = copy;
}

CMemoryReader::CMemoryReader(CByteBuffer data) : CMemoryReader(data.data(), int32_t(data.size())) {}

CMemoryReader::CMemoryReader(Borrowed, const void* data, int32_t size)
    : m_data(static_cast<const uint8_t*>(data)), m_size(std::max(size, 0)) {}

CMemoryReader::~CMemoryReader() {
    if (m_owned) CQelMemAllocator::release(const_cast<uint8_t*>(m_data));
}

CError* CMemoryReader::getPosition(uint64_t& position) {
    position = uint64_t(m_position);
    return nullptr;
}

CError* CMemoryReader::setPosition(uint64_t position) {
    if (position > uint64_t(m_size))
        return QEL_ERROR({},
                         "@qelstr_CMemoryReader_setPosition_seek Positioning beyond memory resource end "
                         "(newpos %1, size %2).",
                         position, m_size);
    m_position = int32_t(position);
    return nullptr;
}

CError* CMemoryReader::getSize(uint64_t& size) {
    size = uint64_t(m_size);
    return nullptr;
}

CError* CMemoryReader::skip(int32_t count) {
    // 64-bit sum: a huge count must fail, not wrap around to a valid position.
    if (int64_t(m_position) + count > m_size || int64_t(m_position) + count < 0)
        return QEL_ERROR({},
                         "@qelstr_CMemoryReader_skip_EOF Premature end of memory resource while skipping "
                         "(pos %1, count %2, size %3).",
                         m_position, count, m_size);
    m_position += count;
    return nullptr;
}

CError* CMemoryReader::read(void* buffer, uint32_t count) {
    if (int64_t(m_position) + int64_t(count) > m_size)
        return QEL_ERROR({},
                         "@qelstr_CMemoryReader_read_EOF Premature end of memory resource while reading (pos "
                         "%1, count %2, size %3).",
                         m_position, count, m_size);
    if (count) std::memcpy(buffer, m_data + m_position, count);
    m_position += int32_t(count);
    return nullptr;
}

CError* CMemoryReader::readStreamed(void* buffer, uint32_t& count) {
    count = std::min<uint32_t>(count, uint32_t(m_size - m_position));
    if (count) std::memcpy(buffer, m_data + m_position, count);
    m_position += int32_t(count);
    return nullptr;
}

} // namespace qel
