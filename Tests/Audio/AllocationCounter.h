#pragma once

#include <cstddef>

namespace qel::test {

// Heap allocations of the calling thread while counting is on (operator new is replaced in the
// product test program).
struct SAllocationCounter {
    static thread_local bool counting;
    static thread_local size_t allocations;
};

} // namespace qel::test
