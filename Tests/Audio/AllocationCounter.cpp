#include "Audio/AllocationCounter.h"

#include <cstdlib>
#include <new>

namespace qel::test {

thread_local bool SAllocationCounter::counting = false;
thread_local size_t SAllocationCounter::allocations = 0;

} // namespace qel::test

void* operator new(std::size_t size) {
    if (qel::test::SAllocationCounter::counting) ++qel::test::SAllocationCounter::allocations;
    if (void* memory = std::malloc(size ? size : 1)) return memory;
    throw std::bad_alloc();
}
// The replacements below pair malloc with free; GCC cannot see that through operator new.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void* memory) noexcept {
    std::free(memory);
}
void operator delete(void* memory, std::size_t) noexcept {
    std::free(memory);
}
#pragma GCC diagnostic pop
