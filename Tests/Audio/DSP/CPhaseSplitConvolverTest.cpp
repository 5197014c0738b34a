#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "Audio/DSP/CPhaseSplitConvolver.h"
#include "Audio/DSP/FIRDesign.h"
#include "Support/ConvolutionReference.h"
#include "Support/DspBuildTest.h"
#include "Support/Noise.h"

namespace qel {
namespace {

using test::directConvolution;
using test::expectClose;
using test::noise;
using test::runRandomBlocks;

// Noise with the taps of the other parity set to zero.
std::vector<double> sparseNoise(size_t length, size_t parity, unsigned seed) {
    std::vector<double> h = noise(length, seed);
    for (size_t k = 1 - parity; k < length; k += 2)
        h[k] = 0.0;
    return h;
}

class CPhaseSplitConvolverTest : public test::DspBuildTest {};

TEST(CPhaseSplitKernelTest, SplitsOnlyKernelsWithOneParityZero) {
    size_t parity = 9;
    const std::vector<double> even = sparseNoise(7, 0, 1), odd = sparseNoise(8, 1, 2), dense = noise(8, 3);
    EXPECT_TRUE(CPhaseSplitKernel::findParity(even.data(), even.size(), parity));
    EXPECT_EQ(parity, 0u);
    EXPECT_TRUE(CPhaseSplitKernel::findParity(odd.data(), odd.size(), parity));
    EXPECT_EQ(parity, 1u);
    EXPECT_FALSE(CPhaseSplitKernel::findParity(dense.data(), dense.size(), parity));

    const CPhaseSplitKernel splitOdd(odd.data(), odd.size());
    EXPECT_TRUE(splitOdd.isSplit());
    EXPECT_EQ(splitOdd.parity(), 1u);
    EXPECT_EQ(splitOdd.length(), 8u);
    EXPECT_EQ(splitOdd.taps(), (std::vector<double>{odd[1], odd[3], odd[5], odd[7]}));
    EXPECT_EQ(splitOdd.kernel()->length(), 4u);
    const CPhaseSplitKernel splitEven(even.data(), even.size());
    EXPECT_EQ(splitEven.taps(), (std::vector<double>{even[0], even[2], even[4], even[6]}));
    const CPhaseSplitKernel whole(dense.data(), dense.size());
    EXPECT_FALSE(whole.isSplit());
    EXPECT_EQ(whole.taps(), dense);

    // The Hilbert transformer's non-zero taps sit at odd offsets from its centre M.
    for (double length : {0.05, 0.0502}) {
        std::vector<double> taps;
        int32_t delay = 0;
        ASSERT_TRUE(qelDesignHilbert(44100.0, length, taps, delay));
        const CPhaseSplitKernel hilbert(taps.data(), taps.size());
        EXPECT_TRUE(hilbert.isSplit());
        EXPECT_EQ(hilbert.parity(), size_t(delay + 1) % 2) << "delay " << delay;
    }
}

TEST_P(CPhaseSplitConvolverTest, EqualsDirectConvolutionForAnyBlockLengthsAndAfterReset) {
    for (size_t parity : {0, 1})
        for (size_t length : {2, 3, 4, 64, 129, 1001, 5000}) {
            const std::vector<double> h = sparseNoise(length, parity, unsigned(length + parity));
            const std::vector<double> x = noise(length + 3000, unsigned(length));
            for (size_t partition : {size_t(0), size_t(16)}) {
                const std::string what = "parity " + std::to_string(parity) + " length " +
                                         std::to_string(length) + " partition " + std::to_string(partition);
                CPhaseSplitConvolver convolver(kernels());
                convolver.setKernel(h.data(), h.size(), partition);
                ASSERT_TRUE(convolver.kernel()->isSplit()) << what;
                EXPECT_EQ(convolver.latency(), 0u);
                std::vector<double> y(x.size());
                // Blocks longer than the partitions and than one staging pass.
                const size_t reset = x.size() / 2 + 1;
                runRandomBlocks(convolver, x, y, 0, reset, unsigned(length), 700);
                expectClose(y, directConvolution(x, h), 0, what, reset);
                convolver.reset();
                runRandomBlocks(convolver, x, y, reset, x.size(), unsigned(length + 1), 700);
                expectClose(y, directConvolution(x, h, reset), reset, what + " after reset");
            }
        }
}

TEST_P(CPhaseSplitConvolverTest, RunsOtherKernelsWholeAndSilenceWithoutKernel) {
    const std::vector<double> x = noise(2000, 1);
    for (const std::vector<double>& h : {noise(300, 2), std::vector<double>{0.5}}) {
        CPhaseSplitConvolver convolver(kernels());
        convolver.setKernel(h.data(), h.size());
        EXPECT_FALSE(convolver.kernel()->isSplit());
        std::vector<double> y(x.size());
        runRandomBlocks(convolver, x, y, 0, x.size(), 3, 300);
        expectClose(y, directConvolution(x, h), 0, "length " + std::to_string(h.size()));
    }
    CPhaseSplitConvolver none(kernels());
    std::vector<double> y(x.size(), 1.0);
    none.process(x.data(), y.data(), 333);
    EXPECT_TRUE(std::all_of(y.begin(), y.begin() + 333, [](double v) { return v == 0.0; }));
}

// The cross-fade of a filter: a second convolver takes the history, then the new kernel. Same-layout
// changes continue from the whole past input; the others start from silence.
TEST_P(CPhaseSplitConvolverTest, NewKernelContinuesFromThePastWhereTheLayoutAllows) {
    const std::vector<double> x = noise(4000, 1);
    const std::vector<double> even = sparseNoise(901, 0, 2), odd = sparseNoise(900, 1, 3);
    const std::vector<double> evenOther = sparseNoise(901, 0, 4), oddOther = sparseNoise(900, 1, 5);
    const std::vector<double> dense = noise(500, 6);
    struct SCase {
        const std::vector<double>* from;
        const std::vector<double>* to;
        bool keepsHistory;
    };
    for (const SCase& c :
         {SCase{&even, &evenOther, true}, SCase{&odd, &oddOther, true}, SCase{&odd, &even, true},
          SCase{&even, &odd, false}, SCase{&dense, &odd, false}, SCase{&odd, &dense, false}}) {
        for (size_t swap : {size_t(1777), size_t(1778)}) {
            const std::string what = std::to_string(c.from->size()) + " to " + std::to_string(c.to->size()) +
                                     " at " + std::to_string(swap);
            CPhaseSplitConvolver current(kernels()), next(kernels());
            current.setKernel(c.from->data(), c.from->size());
            std::vector<double> y(x.size()), yNext(x.size());
            runRandomBlocks(current, x, y, 0, swap, unsigned(swap), 300);
            next.copyHistoryFrom(current);
            next.setKernel(c.to->data(), c.to->size());
            runRandomBlocks(current, x, y, swap, x.size(), 1, 300);
            runRandomBlocks(next, x, yNext, swap, x.size(), 2, 300);
            expectClose(y, directConvolution(x, *c.from), 0, what + " old");
            expectClose(yNext, directConvolution(x, *c.to, c.keepsHistory ? 0 : swap), swap, what + " new");

            // The running convolver's own kernel change, too.
            CPhaseSplitConvolver changed(kernels());
            changed.setKernel(c.from->data(), c.from->size());
            runRandomBlocks(changed, x, y, 0, swap, 3, 300);
            changed.setKernel(c.to->data(), c.to->size());
            runRandomBlocks(changed, x, y, swap, x.size(), 4, 300);
            expectClose(y, directConvolution(x, *c.to, c.keepsHistory ? 0 : swap), swap, what + " in place");
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Builds, CPhaseSplitConvolverTest, test::dspBuilds(), test::dspBuildName);

} // namespace
} // namespace qel
