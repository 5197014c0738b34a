#pragma once

#include <memory>

#include "Core/CInputStream.h"

namespace qel {

// A first-in first-out list of owned messages. Room for eight without allocating; grows to twice
// its capacity plus one.
class SMessageQueue {
public:
    SMessageQueue() = default;
    SMessageQueue(SMessageQueue&&) = default;
    SMessageQueue& operator=(SMessageQueue&&) = default;

    void push(CByteBuffer message);
    bool pop(CByteBuffer& message);
    size_t size() const { return m_count; }
    size_t capacity() const { return m_heap ? m_capacity : kInline; }

private:
    static constexpr size_t kInline = 8;

    CByteBuffer* slots() { return m_heap ? m_heap.get() : m_inline; }

    CByteBuffer m_inline[kInline];
    std::unique_ptr<CByteBuffer[]> m_heap;
    size_t m_capacity = kInline;
    size_t m_first = 0;
    size_t m_count = 0;
};

} // namespace qel
