#include "Audio/AllocationCounter.h"

#include <cstdlib>
#include <new>

#if defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define QEL_TEST_TSAN 1
#endif
#endif

#ifdef QEL_TEST_TSAN
#include <sanitizer/allocator_interface.h>
#endif

namespace qel::test {

thread_local bool SAllocationCounter::counting = false;
thread_local size_t SAllocationCounter::allocations = 0;

} // namespace qel::test

#ifdef QEL_TEST_TSAN
// ThreadSanitizer's runtime owns operator new; its allocator reports every allocation to a hook.
namespace {
void onAllocation(const volatile void*, size_t) {
    if (qel::test::SAllocationCounter::counting) ++qel::test::SAllocationCounter::allocations;
}
void onRelease(const volatile void*) {}
[[maybe_unused]] const int g_hooks = __sanitizer_install_malloc_and_free_hooks(onAllocation, onRelease);
} // namespace
#else
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
#endif
