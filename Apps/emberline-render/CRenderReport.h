#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "CSignalAnalysis.h"

namespace qel {

// What a render did and measured, as readable text or as JSON.
class CRenderReport {
public:
    // One --set as the plug-in took it.
    struct SSetting {
        std::string name;
        // The plug-in's display of the value it holds afterwards, and its unit label.
        std::string display;
        std::string label;
        // The value it holds, 0 to 1: displays are rounded, this is not.
        double normalized = 0;
    };
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
    std::vector<SSetting> settings;
    std::optional<double> toneFrequency;
    std::vector<SLevels> input;
    std::vector<SOutputChannel> output;
    std::string outputFile;

    void printText(std::FILE* out) const;
    void printJson(std::FILE* out) const;
};

} // namespace qel
