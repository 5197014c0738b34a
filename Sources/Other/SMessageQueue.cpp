#include "Other/SMessageQueue.h"

namespace qel {

void SMessageQueue::push(CByteBuffer message) {
    if (m_count == m_capacity) {
        const size_t grown = 2 * m_capacity + 1;
        auto heap = std::make_unique<CByteBuffer[]>(grown);
        CByteBuffer* old = slots();
        for (size_t i = 0; i < m_count; ++i)
            heap[i] = std::move(old[(m_first + i) % m_capacity]);
        m_heap = std::move(heap);
        m_capacity = grown;
        m_first = 0;
    }
    slots()[(m_first + m_count) % m_capacity] = std::move(message);
    ++m_count;
}

bool SMessageQueue::pop(CByteBuffer& message) {
    if (!m_count) return false;
    CByteBuffer& slot = slots()[m_first];
    message = std::move(slot);
    slot = CByteBuffer();
    m_first = (m_first + 1) % m_capacity;
    --m_count;
    return true;
}

} // namespace qel
