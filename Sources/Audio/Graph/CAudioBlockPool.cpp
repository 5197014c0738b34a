#include "Audio/Graph/CAudioBlockPool.h"

#include <cstdlib>
#include <new>

namespace qel {

CAudioBlockPool::~CAudioBlockPool() {
    takeAdopted();
    for (SAudioBlock*& list : m_free)
        while (SAudioBlock* block = list) {
            list = block->nextFree;
            std::free(block->raw);
        }
}

int32_t CAudioBlockPool::sizeClassOf(uint32_t samples) {
    if (samples == 0) return 0;
    const uint64_t cls = (uint64_t(samples) * 8 - 1) / kClassBytes;
    return cls < uint64_t(kClassCount) ? int32_t(cls) : kExtraClass;
}

SAudioBlock* CAudioBlockPool::allocate(int32_t sizeClass, uint32_t bytes) {
    void* raw = std::aligned_alloc(16, sizeof(SAudioBlock) + bytes);
    if (!raw) throw std::bad_alloc();
    auto* block = new (raw) SAudioBlock;
    block->raw = raw;
    block->pool = this;
    block->sizeClass = sizeClass;
    block->capacity = bytes;
    return block;
}

SAudioBlock* CAudioBlockPool::takeFree(int32_t sizeClass) {
    SAudioBlock* block = m_free[sizeClass];
    if (block) m_free[sizeClass] = block->nextFree;
    return block;
}

void CAudioBlockPool::takeAdopted() {
    SAudioBlock* chain = m_adopted.exchange(nullptr, std::memory_order_acquire);
    while (SAudioBlock* block = chain) {
        chain = block->nextFree;
        recycle(block);
    }
}

SAudioBlock* CAudioBlockPool::take(uint32_t length) {
    const int32_t cls = sizeClassOf(length);
    const uint32_t bytes = cls == kExtraClass ? length * 8 : uint32_t(cls + 1) * kClassBytes;
    if (!m_free[cls] && m_adopted.load(std::memory_order_relaxed)) takeAdopted();
    SAudioBlock* block = takeFree(cls);
    for (int32_t larger = cls + 1; !block && larger < kClassCount; ++larger)
        block = takeFree(larger);
    if (block) {
        if (block->capacity < bytes) {
            std::free(block->raw);
            block = allocate(cls, bytes);
        }
    } else {
        block = allocate(cls, bytes);
    }
    block->refCount = 1;
    block->length = length;
    block->nextFree = nullptr;
    return block;
}

void CAudioBlockPool::release(SAudioBlock* block) {
    if (!block) return;
    if (block->refCount > 1) {
        --block->refCount;
        return;
    }
    block->pool->recycle(block);
}

void CAudioBlockPool::recycle(SAudioBlock* block) {
    block->nextFree = m_free[block->sizeClass];
    m_free[block->sizeClass] = block;
}

void CAudioBlockPool::adopt(CAudioBlockPool& other) {
    other.takeAdopted();
    SAudioBlock* first = nullptr;
    SAudioBlock* last = nullptr;
    for (SAudioBlock*& list : other.m_free)
        while (SAudioBlock* block = list) {
            list = block->nextFree;
            block->pool = this;
            block->nextFree = first;
            first = block;
            if (!last) last = block;
        }
    if (!first) return;
    SAudioBlock* head = m_adopted.load(std::memory_order_relaxed);
    do {
        last->nextFree = head;
    } while (
        !m_adopted.compare_exchange_weak(head, first, std::memory_order_release, std::memory_order_relaxed));
}

size_t CAudioBlockPool::freeCount(int32_t sizeClass) const {
    size_t count = 0;
    for (const SAudioBlock* block = m_free[sizeClass]; block; block = block->nextFree)
        ++count;
    return count;
}

} // namespace qel
