#pragma once

#include "Audio/DSP/SDspKernels.h"

namespace qel {

// Chooses, once at first use, the processor build of the DSP kernels: the AVX2+FMA build when the processor
// and the operating system support AVX2 and FMA, otherwise the generic one. The environment variable
// EMBERLINE_FORCE_GENERIC=1 forces the generic build (for comparisons and benchmarks).
class CCpuDispatch {
public:
    enum EBuild { Generic, Avx2Fma };

    // The build every DSP class uses unless it is handed another one; thread-safe.
    static EBuild selected();
    static const SDspKernels& kernels() { return kernels(selected()); }
    static const SDspKernels& kernels(EBuild build);

    // Whether this machine can run the build.
    static bool isSupported(EBuild build);
    // The selection rule: forceGeneric is the value of EMBERLINE_FORCE_GENERIC (null when unset).
    static EBuild choose(bool avx2FmaSupported, const char* forceGeneric);
};

} // namespace qel
