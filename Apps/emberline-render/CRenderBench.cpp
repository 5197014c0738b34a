#include "CRenderBench.h"

#include <time.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "CRenderSession.h"
#include "CTestSignal.h"

namespace qel {

namespace {

constexpr double kSeconds = 10;
// Each figure is the median of this many runs: single runs swing with whatever else the machine does.
constexpr int kRuns = 5;
constexpr const char* kOversampling = "Oversmp";

double processCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

} // namespace

bool CRenderBench::hasOversampling(const CRenderOptions& options) {
    CRenderSession session(options);
    std::string error;
    if (!session.start(options.rate, {}, error)) return false;
    bool found = false;
    for (int32_t i = 0; i < session.host().numParams() && !found; ++i)
        found = session.host().paramName(i) == kOversampling;
    session.stop();
    return found;
}

double CRenderBench::measure(const CRenderOptions& options, const char* setting, const SSignal& noise) {
    std::vector<double> runs;
    for (int run = 0; run < kRuns; ++run) {
        const double cpu = measureOnce(options, setting, noise);
        if (cpu < 0) return cpu;
        runs.push_back(cpu);
    }
    std::nth_element(runs.begin(), runs.begin() + kRuns / 2, runs.end());
    return runs[kRuns / 2];
}

double CRenderBench::measureOnce(const CRenderOptions& options, const char* setting, const SSignal& noise) {
    CRenderSession session(options);
    std::string error;
    SAudioData output;
    CRenderSession::Settings settings;
    if (*setting) settings.emplace_back(kOversampling, setting);
    if (!session.start(options.rate, settings, error)) {
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
    // Another plug-in (a comparison) without our setting runs once as it is.
    std::vector<const char*> settings = {"1X", "2X", "4X", "8X"};
    if (!hasOversampling(options)) settings = {""};
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
                "%-7s %-3s  %7.1fx real time stereo, %7.1fx with all buffers (40 instances: %5.1f %% of "
                "one core)  (%.0f s of stereo audio, %.0f Hz, median of %d runs)\n",
                *setting ? kOversampling : "As is", setting, kSeconds / cpu, kSeconds / shaped,
                40 * 100 * shaped / kSeconds, kSeconds, options.rate, kRuns);
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
