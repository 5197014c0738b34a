#include "Core/CQelMemAllocator.h"

#include <cstdlib>
#include <new>

namespace qel {

void* CQelMemAllocator::allocate(size_t bytes) {
    void* block = std::malloc(bytes ? bytes : 1);
    if (!block) throw std::bad_alloc();
    return block;
}

void CQelMemAllocator::release(void* block) {
    std::free(block);
}

} // namespace qel
