#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "Audio/DSP/CDSPModDelay.h"
#include "Audio/Graph/CAudioBlockPool.h"
#include "Audio/Graph/CAudioProcessBoundary.h"

namespace qel {
namespace {

// A class that ran dry lends the smallest larger free block; blocks another pool warmed up join this
// pool's lists and come back to it when released.
TEST(CAudioBlockPoolTest, DryClassesBorrowUpwardAndAdoptedBlocksJoinThePool) {
    CAudioBlockPool pool;
    CAudioBlockPool warm;
    SAudioBlock* big = warm.take(4096);
    SAudioBlock* mid = warm.take(1024);
    CAudioBlockPool::release(big);
    CAudioBlockPool::release(mid);
    pool.adopt(warm);
    EXPECT_EQ(warm.freeCount(CAudioBlockPool::sizeClassOf(4096)), 0u);

    SAudioBlock* small = pool.take(100);
    EXPECT_EQ(small, mid) << "the smallest larger block";
    EXPECT_EQ(small->length, 100u);
    EXPECT_EQ(small->pool, &pool);
    SAudioBlock* next = pool.take(100);
    EXPECT_EQ(next, big);
    SAudioBlock* fresh = pool.take(100);
    EXPECT_NE(fresh, big);
    EXPECT_NE(fresh, mid);
    for (SAudioBlock* block : {small, next, fresh})
        CAudioBlockPool::release(block);
    EXPECT_EQ(pool.freeCount(CAudioBlockPool::sizeClassOf(1024)), 1u) << "back on its own list";
    EXPECT_EQ(pool.freeCount(CAudioBlockPool::sizeClassOf(4096)), 1u);
    EXPECT_EQ(pool.freeCount(CAudioBlockPool::sizeClassOf(100)), 1u);
}

TEST(CAudioBlockPoolTest, SizeClassesReferenceCountsAndReuse) {
    EXPECT_EQ(CAudioBlockPool::sizeClassOf(1), 0);
    EXPECT_EQ(CAudioBlockPool::sizeClassOf(64), 0);
    EXPECT_EQ(CAudioBlockPool::sizeClassOf(65), 1);
    EXPECT_EQ(CAudioBlockPool::sizeClassOf(8192), 127);
    EXPECT_EQ(CAudioBlockPool::sizeClassOf(8193), CAudioBlockPool::kExtraClass);

    CAudioBlockPool pool;
    SAudioBlock* block = pool.take(100);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(block->samples()) % 16, 0u);
    EXPECT_EQ(block->refCount, 1u);
    block->samples()[99] = 1.0; // the whole class is usable
    CAudioBlockPool::addRef(block, 2);
    CAudioBlockPool::release(block);
    CAudioBlockPool::release(block);
    EXPECT_EQ(pool.freeCount(1), 0u) << "still referenced once";
    CAudioBlockPool::release(block);
    EXPECT_EQ(pool.freeCount(1), 1u);
    EXPECT_EQ(pool.take(128), block) << "reused from its class";

    // The extra list serves everything larger and grows a block that is too small.
    SAudioBlock* large = pool.take(9000);
    CAudioBlockPool::release(large);
    SAudioBlock* larger = pool.take(20000);
    EXPECT_GE(larger->capacity, 20000u * 8);
    larger->samples()[19999] = 2.0;
    CAudioBlockPool::release(larger);
    CAudioBlockPool::release(block);
}

TEST(CAudioBlockPoolTest, AFannedOutBlockReturnsAfterItsLastDestinationReleasedIt) {
    CAudioBlockPool pool;
    SAudioProcessEnv env;
    env.pool = &pool;
    CAudioProcessBoundary source(env), first(env), second(env), third(env);
    for (CAudioProcessBoundary* end : {&source, &first, &second, &third})
        ASSERT_EQ(end->prepare({44100.0, 64, 1}), nullptr);
    for (CAudioProcessBoundary* end : {&first, &second, &third})
        source.addDestination(0, end, 0);
    SAudioBlock* block = pool.take(64);
    source.send(0, 0, block);
    EXPECT_EQ(block->refCount, 3u) << "shared, not copied";
    first.drop();
    second.drop();
    EXPECT_EQ(pool.freeCount(0), 0u);
    third.drop();
    EXPECT_EQ(pool.freeCount(0), 1u);

    // Without a destination the block goes back at once.
    CAudioProcessBoundary lonely(env);
    ASSERT_EQ(lonely.prepare({44100.0, 64, 1}), nullptr);
    lonely.send(0, 0, pool.take(64));
    EXPECT_EQ(pool.freeCount(0), 1u);
}

TEST(CDSPModDelayTest, DelaysWholeSamplesAndCrossFadesChanges) {
    CDSPModDelay delay;
    delay.prepare(16, 4);
    delay.setDelay(2);
    std::vector<double> in(12, 0.0), out(12);
    in[0] = 1.0;
    delay.process(in.data(), out.data(), 12);
    // The first change also fades (from no delay): after it the impulse sits at sample 2.
    delay.reset();
    delay.process(in.data(), out.data(), 12);
    EXPECT_EQ(out, (std::vector<double>{0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0}));

    // A constant signal stays constant through a change; a step shows the half-cosine weights.
    std::vector<double> ones(8, 1.0);
    delay.process(ones.data(), out.data(), 8);
    delay.setDelay(5);
    delay.setDelay(6); // waits for the running cross-fade
    delay.process(ones.data(), out.data(), 8);
    for (double v : std::vector<double>(out.begin(), out.begin() + 8))
        EXPECT_NEAR(v, 1.0, 1e-12);
    EXPECT_EQ(delay.delay(), 6u);

    CDSPModDelay step;
    step.prepare(8, 4);
    std::vector<double> ramp = {1, 2, 3, 4, 5, 6, 7, 8};
    step.process(ramp.data(), out.data(), 8);
    step.setDelay(1);
    std::vector<double> more = {9, 10, 11, 12, 13, 14};
    std::vector<double> faded(6);
    step.process(more.data(), faded.data(), 6);
    // The old (undelayed) read fades out along a half cosine: 1, 0.85, 0.5, 0.15, then only the new.
    const double w1 = 0.5 + 0.5 * std::cos(M_PI / 4), w3 = 0.5 - 0.5 * std::cos(M_PI / 4);
    EXPECT_NEAR(faded[0], 9.0, 1e-12);
    EXPECT_NEAR(faded[1], w1 * 10 + (1 - w1) * 9, 1e-12);
    EXPECT_NEAR(faded[2], 0.5 * 11 + 0.5 * 10, 1e-12);
    EXPECT_NEAR(faded[3], w3 * 12 + (1 - w3) * 11, 1e-12);
    EXPECT_NEAR(faded[4], 12.0, 1e-12);
    EXPECT_NEAR(faded[5], 13.0, 1e-12);
}

// Steady delays copy in runs: every delay from none to the longest, blocks longer than the ring, in place.
TEST(CDSPModDelayTest, SteadyDelayIsTheInputShiftedForAnyBlockLengths) {
    std::vector<double> x(300);
    for (size_t i = 0; i < x.size(); ++i)
        x[i] = double(i + 1);
    for (uint32_t d : {0u, 1u, 5u, 16u}) {
        CDSPModDelay delay;
        delay.prepare(16, 4);
        delay.jumpTo(d);
        std::vector<double> y = x;
        for (size_t at = 0, n = 1; at < y.size(); at += n, n = n % 40 + 7)
            delay.process(y.data() + at, y.data() + at, uint32_t(std::min(n, y.size() - at)));
        for (size_t i = 0; i < x.size(); ++i)
            ASSERT_EQ(y[i], i >= d ? x[i - d] : 0.0) << "delay " << d << " at " << i;
    }
}

} // namespace
} // namespace qel
