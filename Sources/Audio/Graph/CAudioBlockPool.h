#pragma once

#include <atomic>
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
// processing path allocates nothing once the pool has warmed up. A class that runs dry lends the
// smallest larger free block, so blocks warmed up at the longest length serve every shorter one.
// The pool belongs to one thread; another thread may only give it blocks (adopt).
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
    // Moves every free block of other into this pool without waiting for this pool's thread, which
    // takes them in at its next take.
    void adopt(CAudioBlockPool& other);

private:
    SAudioBlock* allocate(int32_t sizeClass, uint32_t bytes);
    void recycle(SAudioBlock* block);
    SAudioBlock* takeFree(int32_t sizeClass);
    void takeAdopted();

    SAudioBlock* m_free[kClassCount + 1] = {};
    // Blocks given by another thread, chained through nextFree.
    std::atomic<SAudioBlock*> m_adopted{nullptr};
};

} // namespace qel
