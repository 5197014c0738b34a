#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "CSignalAnalysis.h"

namespace qel {

// What a render did and measured, as readable text or as JSON.
class CRenderReport {
public:
    struct SOutputChannel {
        SLevels levels;
        SSpecialCounts special;
        std::optional<SHarmonicProfile> harmonics;
    };

    std::string plugin;
    std::string pluginPath;
    std::string signal;
    std::string block;
    bool doublePrecision = false;
    bool offline = false;
    double rate = 0;
    int32_t latency = 0;
    bool compensated = false;
    std::optional<int32_t> program;
    std::vector<std::pair<std::string, std::string>> settings;
    std::optional<double> toneFrequency;
    std::vector<SLevels> input;
    std::vector<SOutputChannel> output;
    std::string outputFile;

    void printText(std::FILE* out) const;
    void printJson(std::FILE* out) const;
};

} // namespace qel
