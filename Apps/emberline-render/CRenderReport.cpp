#include "CRenderReport.h"

#include <cmath>

namespace qel {

namespace {

std::string dbText(double linear) {
    if (!(linear > 0)) return "-inf";
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", CSignalAnalysis::toDb(linear));
    return text;
}

std::string jsonNumber(double value) {
    if (!std::isfinite(value)) return "null";
    char text[32];
    std::snprintf(text, sizeof text, "%.10g", value);
    return text;
}

std::string jsonString(const std::string& value) {
    std::string text = "\"";
    for (char c : value) {
        if (c == '"' || c == '\\') {
            text += '\\';
            text += c;
        } else if (uint8_t(c) < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", unsigned(uint8_t(c)));
            text += escaped;
        } else {
            text += c;
        }
    }
    return text + "\"";
}

} // namespace

void CRenderReport::printText(std::FILE* out) const {
    std::fprintf(out, "plug-in     %s (%s)\n", plugin.c_str(), pluginPath.c_str());
    std::fprintf(out, "rate        %.0f Hz, block %s, %s precision, %s\n", rate, block.c_str(),
                 doublePrecision ? "double" : "float", offline ? "offline" : "real time");
    std::fprintf(out, "latency     %d samples (%.2f ms)%s\n", latency, 1000.0 * latency / rate,
                 compensated ? ", compensated" : "");
    if (program) std::fprintf(out, "program     %d\n", *program);
    for (const SSetting& setting : settings)
        std::fprintf(out, "set         %s = %s%s%s (normalized %.6f)\n", setting.name.c_str(),
                     setting.display.c_str(), setting.label.empty() ? "" : " ", setting.label.c_str(),
                     setting.normalized);
    std::fprintf(out, "signal      %s\n", signal.c_str());
    for (size_t c = 0; c < input.size(); ++c)
        std::fprintf(out, "input  %2zu   peak %8s dBFS   RMS %8s dBFS\n", c + 1,
                     dbText(input[c].peak).c_str(), dbText(input[c].rms).c_str());
    for (size_t c = 0; c < output.size(); ++c) {
        const SOutputChannel& channel = output[c];
        std::fprintf(out, "output %2zu   peak %8s dBFS   RMS %8s dBFS   NaN %zu  Inf %zu  subnormal %zu\n",
                     c + 1, dbText(channel.levels.peak).c_str(), dbText(channel.levels.rms).c_str(),
                     channel.special.nan, channel.special.inf, channel.special.subnormal);
    }
    if (toneFrequency) {
        std::fprintf(out, "harmonics of the %g Hz tone, dB relative to the fundamental:\n", *toneFrequency);
        for (size_t c = 0; c < output.size(); ++c) {
            const auto& profile = output[c].harmonics;
            if (!profile) {
                std::fprintf(out, "output %2zu   too short to analyse\n", c + 1);
                continue;
            }
            std::fprintf(out, "output %2zu   H1 %7.2f dBFS", c + 1, profile->fundamentalDbfs);
            for (size_t h = 0; h < profile->relativeDb.size(); ++h) {
                if (profile->relativeDb[h])
                    std::fprintf(out, "   H%zu %7.2f", h + 2, *profile->relativeDb[h]);
                else
                    std::fprintf(out, "   H%zu       -", h + 2);
            }
            std::fprintf(out, "\n");
        }
    }
    if (!outputFile.empty()) std::fprintf(out, "written     %s\n", outputFile.c_str());
}

void CRenderReport::printJson(std::FILE* out) const {
    std::fprintf(out, "{\n  \"plugin\": %s,\n  \"path\": %s,\n", jsonString(plugin).c_str(),
                 jsonString(pluginPath).c_str());
    std::fprintf(out,
                 "  \"rate\": %s,\n  \"block\": %s,\n  \"precision\": \"%s\",\n  \"processLevel\": %d,\n",
                 jsonNumber(rate).c_str(), jsonString(block).c_str(), doublePrecision ? "double" : "float",
                 offline ? 4 : 2);
    std::fprintf(out, "  \"latency\": %d,\n  \"latencyMs\": %s,\n  \"compensated\": %s,\n", latency,
                 jsonNumber(1000.0 * latency / rate).c_str(), compensated ? "true" : "false");
    std::fprintf(out, "  \"settings\": {");
    for (size_t i = 0; i < settings.size(); ++i)
        std::fprintf(out, "%s%s: %s", i ? ", " : "", jsonString(settings[i].name).c_str(),
                     jsonString(settings[i].display).c_str());
    std::fprintf(out, "},\n  \"settingsNormalized\": {");
    for (size_t i = 0; i < settings.size(); ++i)
        std::fprintf(out, "%s%s: %s", i ? ", " : "", jsonString(settings[i].name).c_str(),
                     jsonNumber(settings[i].normalized).c_str());
    std::fprintf(out, "},\n  \"signal\": %s,\n  \"input\": [", jsonString(signal).c_str());
    for (size_t c = 0; c < input.size(); ++c)
        std::fprintf(out, "%s\n    {\"peakDbfs\": %s, \"rmsDbfs\": %s}", c ? "," : "",
                     jsonNumber(CSignalAnalysis::toDb(input[c].peak)).c_str(),
                     jsonNumber(CSignalAnalysis::toDb(input[c].rms)).c_str());
    std::fprintf(out, "\n  ],\n  \"output\": [");
    for (size_t c = 0; c < output.size(); ++c) {
        const SOutputChannel& channel = output[c];
        std::fprintf(
            out, "%s\n    {\"peakDbfs\": %s, \"rmsDbfs\": %s, \"nan\": %zu, \"inf\": %zu, \"subnormal\": %zu",
            c ? "," : "", jsonNumber(CSignalAnalysis::toDb(channel.levels.peak)).c_str(),
            jsonNumber(CSignalAnalysis::toDb(channel.levels.rms)).c_str(), channel.special.nan,
            channel.special.inf, channel.special.subnormal);
        if (channel.harmonics) {
            std::fprintf(out, ", \"harmonics\": {\"frequency\": %s, \"fundamentalDbfs\": %s",
                         jsonNumber(*toneFrequency).c_str(),
                         jsonNumber(channel.harmonics->fundamentalDbfs).c_str());
            for (size_t h = 0; h < channel.harmonics->relativeDb.size(); ++h) {
                const auto& level = channel.harmonics->relativeDb[h];
                std::fprintf(out, ", \"h%zu\": %s", h + 2, level ? jsonNumber(*level).c_str() : "null");
            }
            std::fprintf(out, "}");
        }
        std::fprintf(out, "}");
    }
    std::fprintf(out, "\n  ],\n  \"outputFile\": %s\n}\n",
                 outputFile.empty() ? "null" : jsonString(outputFile).c_str());
}

} // namespace qel
