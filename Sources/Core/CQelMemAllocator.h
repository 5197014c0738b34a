#pragma once

#include <cstddef>

namespace qel {

// The framework's allocator; classes that hand out raw blocks (write buffers, zlib state) use it.
class CQelMemAllocator {
public:
    static void* allocate(size_t bytes);
    static void release(void* block);
};

} // namespace qel
