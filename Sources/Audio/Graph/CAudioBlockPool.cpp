#include "Audio/Graph/CAudioBlockPool.h"

#include <cstdlib>
#include <new>

namespace qel {

CAudioBlockPool::~CAudioBlockPool() {
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

SAudioBlock* CAudioBlockPool::take(uint32_t length) {
    const int32_t cls = sizeClassOf(length);
    const uint32_t bytes = cls == kExtraClass ? length * 8 : uint32_t(cls + 1) * kClassBytes;
    SAudioBlock* block = m_free[cls];
    if (block) {
        m_free[cls] = block->nextFree;
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

size_t CAudioBlockPool::freeCount(int32_t sizeClass) const {
    size_t count = 0;
    for (const SAudioBlock* block = m_free[sizeClass]; block; block = block->nextFree)
        ++count;
    return count;
}

} // namespace qel
