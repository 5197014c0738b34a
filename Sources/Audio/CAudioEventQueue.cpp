#include "Audio/CAudioEventQueue.h"

#include <algorithm>

namespace qel {

CAudioEventQueue::~CAudioEventQueue() {
    if (m_items != m_inline) delete[] m_items;
}

void CAudioEventQueue::append(const SAudioEvent& event) {
    if (m_count == m_capacity) {
        int32_t capacity = m_capacity;
        while (capacity < m_count + 1)
            capacity = capacity + capacity / 2 + 1;
        auto* items = new SAudioEvent[size_t(capacity)];
        std::copy(m_items, m_items + m_count, items);
        if (m_items != m_inline) delete[] m_items;
        m_items = items;
        m_capacity = capacity;
    }
    m_items[m_count++] = event;
}

void CAudioEventQueue::sort() {
    // Insertion sort: host event lists are short and usually already in order.
    for (int32_t i = 1; i < m_count; ++i) {
        const SAudioEvent event = m_items[i];
        int32_t j = i;
        for (; j > 0 && m_items[j - 1].position > event.position; --j)
            m_items[j] = m_items[j - 1];
        m_items[j] = event;
    }
}

} // namespace qel
