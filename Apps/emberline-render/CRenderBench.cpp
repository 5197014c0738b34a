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

// Seconds of CPU for the noise through one session; negative on failure (reported).
double CRenderBench::measure(const CRenderOptions& options, const char* setting, const SSignal& noise) {
    CRenderSession session(options);
    std::string error;
    SAudioData output;
    if (!session.start(options.rate, {{"Oversmp", setting}}, error)) {
        std::fprintf(stderr, "emberline-render: %s\n", error.c_str());
        return -1;
    }
    // Session setup, parameter changes and the noise itself stay outside the measurement.
    const double begin = processCpuSeconds();
    const bool rendered = session.render(noise.audio, output, false, error);
    const double cpu = processCpuSeconds() - begin;
    session.stop();
    if (!rendered) {
        std::fprintf(stderr, "emberline-render: %s\n", error.c_str());
        return -1;
    }
    return cpu;
}

int CRenderBench::run(const CRenderOptions& options) {
    const char* const settings[] = {"1X", "2X", "4X", "8X"};
    SSignal noise = CTestSignal::noise(options.rate, 2, kSeconds, -12);
    // As hosts that never set a speaker arrangement run it on a stereo track: every input and output
    // buffer of the plug-in, two of them with signal.
    CRenderOptions hostShaped = options;
    hostShaped.channels = 0;
    struct SResult {
        std::string setting;
        double cpuSeconds;
        double hostShapedCpuSeconds;
    };
    std::vector<SResult> results;
    for (const char* setting : settings) {
        const double cpu = measure(options, setting, noise);
        const double shaped = measure(hostShaped, setting, noise);
        if (cpu < 0 || shaped < 0) return 1;
        results.push_back({setting, cpu, shaped});
        if (!options.json)
            std::printf(
                "Oversmp %-3s  %7.1fx real time stereo, %7.1fx with all buffers (40 instances: %5.1f %% of "
                "one core)  (%.0f s of stereo audio, %.0f Hz)\n",
                setting, kSeconds / cpu, kSeconds / shaped, 40 * 100 * shaped / kSeconds, kSeconds,
                options.rate);
    }
    if (options.json) {
        std::printf("{\n  \"rate\": %.10g,\n  \"seconds\": %g,\n  \"bench\": [", options.rate, kSeconds);
        for (size_t i = 0; i < results.size(); ++i)
            std::printf("%s\n    {\"oversampling\": \"%s\", \"cpuSeconds\": %.6g, \"realtimeFactor\": %.6g, "
                        "\"allBuffersCpuSeconds\": %.6g, \"allBuffersRealtimeFactor\": %.6g}",
                        i ? "," : "", results[i].setting.c_str(), results[i].cpuSeconds,
                        kSeconds / results[i].cpuSeconds, results[i].hostShapedCpuSeconds,
                        kSeconds / results[i].hostShapedCpuSeconds);
        std::printf("\n  ]\n}\n");
    }
    return 0;
}

} // namespace qel
