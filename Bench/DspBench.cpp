// DSP kernels in each processor build. Run: build/Bench/EmberlineBench [--benchmark_filter=...]
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "Audio/DSP/CCpuDispatch.h"
#include "Audio/DSP/CKorenKernel.h"
#include "Audio/DSP/CPartitionedConvolver.h"
#include "Audio/DSP/CPhaseSplitConvolver.h"
#include "Audio/DSP/CRealFFT.h"
#include "Audio/DSP/FIRDesign.h"

namespace qel {
namespace {

std::vector<double> noise(size_t n, unsigned seed, double amplitude = 1.0) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> dist(-amplitude, amplitude);
    std::vector<double> x(n);
    for (double& v : x)
        v = dist(rng);
    return x;
}

bool usable(benchmark::State& state, CCpuDispatch::EBuild build) {
    if (CCpuDispatch::isSupported(build)) return true;
    state.SkipWithError("this processor lacks AVX2 or FMA");
    return false;
}

void fftRoundTrip(benchmark::State& state, CCpuDispatch::EBuild build) {
    if (!usable(state, build)) return;
    const size_t n = size_t(state.range(0));
    CRealFFT fft(n, CCpuDispatch::kernels(build));
    std::vector<double> x = noise(n, 1), spectrum(n);
    for (auto _ : state) {
        fft.forward(x.data(), spectrum.data());
        fft.inverse(spectrum.data(), x.data());
        benchmark::DoNotOptimize(x.data());
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(n));
}

// A sum of products over 16 spectra of n doubles, counted in bin products.
void spectrumProducts(benchmark::State& state, CCpuDispatch::EBuild build) {
    if (!usable(state, build)) return;
    const size_t n = size_t(state.range(0)), count = 16;
    const SDspKernels& k = CCpuDispatch::kernels(build);
    const std::vector<double> a = noise(count * n, 1), b = noise(count * n, 2);
    std::vector<double> out(n);
    for (auto _ : state) {
        k.spectrumProducts(a.data(), b.data(), count, n, out.data(), n);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(count * n / 2));
}

// The direct FIR loops over 256 outputs: taps, and 1 for a symmetric kernel (folded), counted in taps.
void firLoop(benchmark::State& state, CCpuDispatch::EBuild build) {
    if (!usable(state, build)) return;
    const size_t taps = size_t(state.range(0)), count = 256;
    const bool symmetric = state.range(1) != 0;
    const SDspKernels& k = CCpuDispatch::kernels(build);
    const std::vector<double> h = noise(taps, 1), x = noise(count + taps, 2);
    std::vector<double> out(count);
    const auto loop = symmetric ? k.firAccumulateSymmetric : k.firAccumulate;
    for (auto _ : state) {
        loop(h.data(), taps, x.data(), out.data(), count);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(count * taps));
}

// Blocks of noise through a convolver, counted as samples processed.
template <class Convolver>
void timeBlocks(benchmark::State& state, Convolver& convolver, size_t block) {
    std::vector<double> x = noise(block, 2), y(block);
    for (auto _ : state) {
        convolver.process(x.data(), y.data(), block);
        benchmark::DoNotOptimize(y.data());
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(block));
}

// Kernel length, block length, partition size (0: chosen by length).
void convolver(benchmark::State& state, CCpuDispatch::EBuild build) {
    if (!usable(state, build)) return;
    const size_t length = size_t(state.range(0)), block = size_t(state.range(1));
    const std::vector<double> h = noise(length, 1, 0.01);
    CPartitionedConvolver convolver(CCpuDispatch::kernels(build));
    convolver.setKernel(h.data(), h.size(), size_t(state.range(2)));
    timeBlocks(state, convolver, block);
    state.counters["partition"] = double(convolver.partitionSize());
}

// The Hilbert transformer of a length (taps) as two half-rate convolutions; block length, partition size
// of the half kernel (0: chosen by length).
void phaseSplitConvolver(benchmark::State& state, CCpuDispatch::EBuild build) {
    if (!usable(state, build)) return;
    const size_t length = size_t(state.range(0)), block = size_t(state.range(1));
    std::vector<double> h;
    int32_t delay = 0;
    qelDesignHilbert(1.0, double(length), h, delay);
    CPhaseSplitConvolver convolver(CCpuDispatch::kernels(build));
    convolver.setKernel(h.data(), h.size(), size_t(state.range(2)));
    timeBlocks(state, convolver, block);
    state.counters["partition"] = double(convolver.kernel()->kernel()->partitionSize());
}

void koren(benchmark::State& state, CCpuDispatch::EBuild build) {
    if (!usable(state, build)) return;
    const size_t n = 512;
    const CKorenKernel kernel;
    const std::vector<double> x = noise(n, 1, 0.7), y = noise(n, 2, 0.7);
    std::vector<double> out(n);
    const SDspKernels& k = CCpuDispatch::kernels(build);
    for (auto _ : state) {
        k.korenProcess(kernel.coefficients(), x.data(), y.data(), out.data(), n);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(n));
}

BENCHMARK_CAPTURE(fftRoundTrip, generic, CCpuDispatch::Generic)->RangeMultiplier(4)->Range(64, 4096);
BENCHMARK_CAPTURE(fftRoundTrip, avx2fma, CCpuDispatch::Avx2Fma)->RangeMultiplier(4)->Range(64, 4096);
BENCHMARK_CAPTURE(spectrumProducts, generic, CCpuDispatch::Generic)->Arg(128);
BENCHMARK_CAPTURE(spectrumProducts, avx2fma, CCpuDispatch::Avx2Fma)->Arg(128);
// The Hilbert transformer at 88.2 kHz: 2207 taps, host blocks of 512.
BENCHMARK_CAPTURE(convolver, generic, CCpuDispatch::Generic)->Args({2207, 512, 0});
BENCHMARK_CAPTURE(convolver, avx2fma, CCpuDispatch::Avx2Fma)->Args({2207, 512, 0});
// Partition sizes around the automatic choice: the phases of the resampler and quadrature kernels (357, 1017,
// 1200 taps), the whole quadrature kernel at 88.2 kHz and a long kernel.
BENCHMARK_CAPTURE(convolver, avx2fma, CCpuDispatch::Avx2Fma)
    ->ArgsProduct({{357, 1017, 1200, 2207, 19207}, {512}, {32, 64, 128, 256, 512, 1024}});
BENCHMARK_CAPTURE(convolver, generic, CCpuDispatch::Generic)
    ->ArgsProduct({{357, 1017, 1200, 2207, 19207}, {512}, {32, 64, 128, 256, 512, 1024}});
BENCHMARK_CAPTURE(phaseSplitConvolver, avx2fma, CCpuDispatch::Avx2Fma)
    ->ArgsProduct({{2207, 2401}, {512}, {0, 64, 128}});
// The resampler's short low-pass phases (36 and 37 taps) and a long kernel's head.
BENCHMARK_CAPTURE(firLoop, avx2fma, CCpuDispatch::Avx2Fma)->ArgsProduct({{36, 37, 128}, {0, 1}});
BENCHMARK_CAPTURE(koren, generic, CCpuDispatch::Generic);
BENCHMARK_CAPTURE(koren, avx2fma, CCpuDispatch::Avx2Fma);

} // namespace
} // namespace qel

BENCHMARK_MAIN();
