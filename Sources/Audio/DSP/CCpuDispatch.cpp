#include "Audio/DSP/CCpuDispatch.h"

#include <cstdlib>
#include <cstring>

namespace qel {

bool CCpuDispatch::isSupported(EBuild build) {
    if (build == Generic) return true;
#if defined(__x86_64__) || defined(__i386__)
    // libgcc reports AVX2 and FMA only when the OS saves the YMM registers.
    static const bool avx2Fma = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
    }();
    return avx2Fma;
#else
    return false;
#endif
}

CCpuDispatch::EBuild CCpuDispatch::choose(bool avx2FmaSupported, const char* forceGeneric) {
    if (forceGeneric && std::strcmp(forceGeneric, "1") == 0) return Generic;
    return avx2FmaSupported ? Avx2Fma : Generic;
}

CCpuDispatch::EBuild CCpuDispatch::selected() {
    static const EBuild build = choose(isSupported(Avx2Fma), std::getenv("EMBERLINE_FORCE_GENERIC"));
    return build;
}

const SDspKernels& CCpuDispatch::kernels(EBuild build) {
    return build == Avx2Fma ? SDspKernels::avx2Fma() : SDspKernels::generic();
}

} // namespace qel
