#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "Audio/DSP/CPartitionedConvolver.h"
#include "Support/ConvolutionReference.h"
#include "Support/DspBuildTest.h"
#include "Support/Noise.h"

namespace qel {
namespace {

using test::directConvolution;
using test::expectClose;
using test::noise;
using test::runRandomBlocks;

class CPartitionedConvolverTest : public test::DspBuildTest {};

TEST_P(CPartitionedConvolverTest, EqualsDirectConvolutionWithoutDelayForAnyBlockLengths) {
    const size_t p = 64;
    for (size_t length : {size_t(1), size_t(3), p - 1, p, p + 1, size_t(5000)})
        for (size_t partition : {p, size_t(0)}) {
            const std::vector<double> h = noise(length, unsigned(length));
            const std::vector<double> x = noise(length + 5 * p + 37, unsigned(length + 1));
            CPartitionedConvolver convolver(kernels());
            convolver.setKernel(h.data(), h.size(), partition);
            EXPECT_EQ(convolver.latency(), 0u);
            if (partition) {
                EXPECT_EQ(convolver.partitionSize(), p);
            }
            std::vector<double> y(x.size());
            runRandomBlocks(convolver, x, y, 0, x.size(), unsigned(length + partition), 3 * p);
            expectClose(y, directConvolution(x, h), 0,
                        "length " + std::to_string(length) + " partition " + std::to_string(partition));
        }
}

// Two kernels of unequal length (one with no tail, one symmetric) on one input, in random blocks; a second
// kernel of another partition size is not taken, and one kernel again leaves the second output silent.
TEST_P(CPartitionedConvolverTest, SecondKernelSharesTheInputHistory) {
    const size_t p = 32;
    const std::vector<double> x = noise(2000, 7);
    for (size_t secondLength : {size_t(20), size_t(500)}) {
        const std::vector<double> first = noise(700, 8);
        std::vector<double> second = noise(secondLength, 9);
        std::copy(second.begin(), second.begin() + long(secondLength / 2), second.rbegin());
        CPartitionedConvolver convolver(kernels());
        convolver.setKernels(
            std::make_shared<const CConvolutionKernel>(first.data(), first.size(), p, kernels()),
            std::make_shared<const CConvolutionKernel>(second.data(), second.size(), p, kernels()));
        std::vector<double> y(x.size()), z(x.size());
        std::mt19937 rng{unsigned(secondLength)};
        for (size_t pos = 0; pos < x.size();) {
            const size_t n = std::min(size_t(rng() % (3 * p) + 1), x.size() - pos);
            convolver.process(x.data() + pos, y.data() + pos, z.data() + pos, n);
            pos += n;
        }
        const std::string what = "second length " + std::to_string(secondLength);
        expectClose(y, directConvolution(x, first), 0, what + " first");
        expectClose(z, directConvolution(x, second), 0, what + " second");

        convolver.setKernels(
            std::make_shared<const CConvolutionKernel>(first.data(), first.size(), p, kernels()),
            std::make_shared<const CConvolutionKernel>(second.data(), second.size(), 2 * p, kernels()));
        std::fill(z.begin(), z.end(), 1.0);
        convolver.process(x.data(), y.data(), z.data(), 100);
        EXPECT_EQ(*std::max_element(z.begin(), z.begin() + 100), 0.0) << what;
    }
}

TEST_P(CPartitionedConvolverTest, TinyPartitionsUseTheSmallestTransforms) {
    const std::vector<double> h = noise(37, 5);
    const std::vector<double> x = noise(400, 6);
    for (size_t partition : {1, 2, 4, 8}) {
        CPartitionedConvolver convolver(kernels());
        convolver.setKernel(h.data(), h.size(), partition);
        std::vector<double> y(x.size());
        runRandomBlocks(convolver, x, y, 0, x.size(), unsigned(partition), 11);
        expectClose(y, directConvolution(x, h), 0, "partition " + std::to_string(partition));
    }
}

TEST_P(CPartitionedConvolverTest, NewKernelContinuesFromTheWholePastInput) {
    const size_t p = 32;
    const std::vector<double> a = noise(300, 1), b = noise(300, 2), shorter = noise(50, 3);
    const std::vector<double> x = noise(1500, 4);
    for (const std::vector<double>* next : {&b, &shorter}) {
        CPartitionedConvolver convolver(kernels());
        convolver.setKernel(a.data(), a.size(), p);
        std::vector<double> y(x.size());
        const size_t swap = 13 * p + 7; // inside a block
        runRandomBlocks(convolver, x, y, 0, swap, 7, 3 * p);
        convolver.setKernel(next->data(), next->size(), p);
        runRandomBlocks(convolver, x, y, swap, x.size(), 8, 3 * p);
        expectClose(y, directConvolution(x, a), 0, "old kernel", swap);
        expectClose(y, directConvolution(x, *next), swap,
                    "new kernel of length " + std::to_string(next->size()));
    }
}

TEST_P(CPartitionedConvolverTest, CopiedHistoryLetsASecondConvolverTakeOver) {
    const size_t p = 64;
    const std::vector<double> oldKernel = noise(700, 1), newKernel = noise(700, 2);
    const std::vector<double> x = noise(3000, 3);
    CPartitionedConvolver current(kernels());
    current.setKernel(oldKernel.data(), oldKernel.size(), p);
    std::vector<double> yOld(x.size());
    const size_t swap = 1234;
    runRandomBlocks(current, x, yOld, 0, swap, 1, 200);

    // A convolver that never ran, one with a kernel of another partition size, and one whose new kernel
    // has another partition size, which cannot use the history and starts from silence.
    CPartitionedConvolver fresh(kernels()), resized(kernels()), mismatched(kernels());
    resized.setKernel(newKernel.data(), newKernel.size(), 2 * p);
    for (CPartitionedConvolver* next : {&fresh, &resized, &mismatched}) {
        next->copyHistoryFrom(current);
        EXPECT_EQ(next->partitionSize(), p);
        next->setKernel(newKernel.data(), newKernel.size(), next == &mismatched ? 2 * p : p);
    }
    runRandomBlocks(current, x, yOld, swap, x.size(), 2, 200);
    expectClose(yOld, directConvolution(x, oldKernel), 0, "old");
    std::vector<double> y(x.size());
    runRandomBlocks(fresh, x, y, swap, x.size(), 3, 200);
    expectClose(y, directConvolution(x, newKernel), swap, "fresh");
    runRandomBlocks(resized, x, y, swap, x.size(), 4, 200);
    expectClose(y, directConvolution(x, newKernel), swap, "resized");
    runRandomBlocks(mismatched, x, y, swap, x.size(), 5, 200);
    expectClose(y, directConvolution(x, newKernel, swap), swap, "mismatched");
}

TEST_P(CPartitionedConvolverTest, ResetAndMissingKernelForgetThePast) {
    const std::vector<double> h = noise(150, 1);
    const std::vector<double> x = noise(900, 2);
    CPartitionedConvolver convolver(kernels());
    std::vector<double> y(x.size(), 1.0);
    convolver.process(x.data(), y.data(), 100);
    EXPECT_TRUE(std::all_of(y.begin(), y.begin() + 100, [](double v) { return v == 0.0; }));

    convolver.setKernel(h.data(), h.size(), 16);
    runRandomBlocks(convolver, x, y, 100, 333, 1, 40);
    convolver.reset();
    runRandomBlocks(convolver, x, y, 333, 600, 2, 40);
    expectClose(y, directConvolution(x, h, 333), 333, "after reset", 600);

    convolver.setKernel(nullptr);
    convolver.process(x.data() + 600, y.data() + 600, 50);
    convolver.setKernel(h.data(), h.size(), 16);
    runRandomBlocks(convolver, x, y, 650, x.size(), 3, 40);
    expectClose(y, directConvolution(x, h, 650), 650, "after a time without kernel");
}

INSTANTIATE_TEST_SUITE_P(Builds, CPartitionedConvolverTest, test::dspBuilds(), test::dspBuildName);

TEST(CPartitionedConvolverBuildsTest, BuildsAgreeUpToRounding) {
    if (!CCpuDispatch::isSupported(CCpuDispatch::Avx2Fma)) GTEST_SKIP() << "this processor lacks AVX2 or FMA";
    const std::vector<double> h = noise(2207, 1);
    const std::vector<double> x = noise(8192, 2);
    CPartitionedConvolver generic(CCpuDispatch::kernels(CCpuDispatch::Generic));
    CPartitionedConvolver fast(CCpuDispatch::kernels(CCpuDispatch::Avx2Fma));
    generic.setKernel(h.data(), h.size());
    fast.setKernel(h.data(), h.size());
    ASSERT_EQ(generic.partitionSize(), fast.partitionSize());
    std::vector<double> a(x.size()), b(x.size());
    for (size_t pos = 0; pos < x.size(); pos += 512) {
        generic.process(x.data() + pos, a.data() + pos, 512);
        fast.process(x.data() + pos, b.data() + pos, 512);
    }
    expectClose(b, a, 0, "AVX2 against generic");
    EXPECT_NE(a, b) << "the AVX2 build fuses multiply-adds, so some roundings differ";
}

} // namespace
} // namespace qel
