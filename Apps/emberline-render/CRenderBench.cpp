#include "CRenderBench.h"

#include <time.h>

#include <cstdio>
#include <string>
#include <vector>

#include "CRenderSession.h"
#include "CTestSignal.h"

namespace qel {

namespace {

constexpr double kSeconds = 10;

double processCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

} // namespace

int CRenderBench::run(const CRenderOptions& options) {
    const char* const settings[] = {"1X", "2X", "4X", "8X"};
    SSignal noise = CTestSignal::noise(options.rate, 2, kSeconds, -12);
    struct SResult {
        std::string setting;
        double cpuSeconds;
    };
    std::vector<SResult> results;
    for (const char* setting : settings) {
        CRenderSession session(options);
        std::string error;
        SAudioData output;
        if (!session.start(options.rate, {{"Oversmp", setting}}, error)) {
            std::fprintf(stderr, "emberline-render: %s\n", error.c_str());
            return 1;
        }
        // Session setup, parameter changes and the noise itself stay outside the measurement.
        double begin = processCpuSeconds();
        bool rendered = session.render(noise.audio, output, false, error);
        double cpu = processCpuSeconds() - begin;
        session.stop();
        if (!rendered) {
            std::fprintf(stderr, "emberline-render: %s\n", error.c_str());
            return 1;
        }
        results.push_back({setting, cpu});
        if (!options.json)
            std::printf(
                "Oversmp %-3s  %7.1fx real time  (%.0f s of stereo audio in %.3f s CPU, %.0f Hz, block %s)\n",
                setting, kSeconds / cpu, kSeconds, cpu, options.rate, session.blockDescription().c_str());
    }
    if (options.json) {
        std::printf("{\n  \"rate\": %.10g,\n  \"seconds\": %g,\n  \"bench\": [", options.rate, kSeconds);
        for (size_t i = 0; i < results.size(); ++i)
            std::printf("%s\n    {\"oversampling\": \"%s\", \"cpuSeconds\": %.6g, \"realtimeFactor\": %.6g}",
                        i ? "," : "", results[i].setting.c_str(), results[i].cpuSeconds,
                        kSeconds / results[i].cpuSeconds);
        std::printf("\n  ]\n}\n");
    }
    return 0;
}

} // namespace qel
