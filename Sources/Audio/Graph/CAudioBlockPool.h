#pragma once

#include <cstddef>
#include <cstdint>

#include "Core/CCheckedObject.h"

namespace qel {

class CAudioBlockPool;

// A reference-counted array of samples from the pool; the samples follow the header, 16-byte aligned.
struct alignas(16) SAudioBlock {
    void* raw = nullptr;
    CAudioBlockPool* pool = nullptr;
    int32_t sizeClass = 0;
    uint32_t capacity = 0; // bytes of samples
    uint32_t refCount = 1;
    uint32_t length = 0; // samples in use
    SAudioBlock* nextFree = nullptr;

    double* samples() { return reinterpret_cast<double*>(this + 1); }
    const double* samples() const { return reinterpret_cast<const double*>(this + 1); }
};
static_assert(sizeof(SAudioBlock) % 16 == 0, "samples must stay 16-byte aligned");

// Blocks of samples by size class: class k serves up to (k + 1) × 512 bytes; larger requests share
// one extra list whose blocks grow when too small. Blocks return to their list for reuse, so the
// processing path allocates nothing once the pool has warmed up.
class CAudioBlockPool : public CCheckedObject {
public:
    static constexpr int32_t kClassCount = 128;
    static constexpr uint32_t kClassBytes = 512;
    static constexpr int32_t kExtraClass = kClassCount;

    ~CAudioBlockPool() override;

    static int32_t sizeClassOf(uint32_t samples);

    // A block of at least length samples, reference count 1.
    SAudioBlock* take(uint32_t length);
    static void addRef(SAudioBlock* block, uint32_t count = 1) { block->refCount += count; }
    // Drops one reference; the last one returns the block to its list.
    static void release(SAudioBlock* block);

    size_t freeCount(int32_t sizeClass) const;

private:
    SAudioBlock* allocate(int32_t sizeClass, uint32_t bytes);
    void recycle(SAudioBlock* block);

    SAudioBlock* m_free[kClassCount + 1] = {};
};

} // namespace qel
