#pragma once

#include <gtest/gtest.h>

#include <string>

#include "Audio/DSP/CCpuDispatch.h"

namespace qel::test {

// A test run once for each processor build of the DSP kernels; builds this processor lacks are skipped.
// Instantiate with INSTANTIATE_TEST_SUITE_P(Builds, Suite, test::dspBuilds(), test::dspBuildName).
class DspBuildTest : public testing::TestWithParam<CCpuDispatch::EBuild> {
protected:
    void SetUp() override {
        if (!CCpuDispatch::isSupported(GetParam())) GTEST_SKIP() << "this processor lacks AVX2 or FMA";
    }
    const SDspKernels& kernels() const { return CCpuDispatch::kernels(GetParam()); }
};

inline auto dspBuilds() {
    return testing::Values(CCpuDispatch::Generic, CCpuDispatch::Avx2Fma);
}

inline std::string dspBuildName(const testing::TestParamInfo<CCpuDispatch::EBuild>& info) {
    return info.param == CCpuDispatch::Generic ? "Generic" : "Avx2Fma";
}

} // namespace qel::test
