#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace qel {

// The command line of emberline-render.
class CRenderOptions {
public:
    enum class Signal { Demo, File, Impulse, Sine, Noise };

    // False with the message in error for anything unusable.
    bool parse(int argc, const char* const* argv, std::string& error);
    static const char* usage();

    std::string plugin;
    bool info = false;
    bool help = false;
    double rate = 48000;
    bool rateGiven = false;
    int32_t block = 512;
    bool randomBlocks = false;
    bool doublePrecision = false;
    bool offline = false;
    std::vector<std::pair<std::string, std::string>> sets;
    std::optional<int32_t> program;
    Signal signal = Signal::Demo;
    double sineFrequency = 1000;
    double sineDbfs = -6;
    double noiseDbfs = -12;
    double seconds = 3;
    bool compensate = false;
    bool bench = false;
    std::string editorSnapshot;
    double scale = 1.0;
    bool json = false;
    int32_t channels = 2;
    std::string inputFile;
    std::string outputFile;

private:
    bool setSignal(Signal signal, const std::string& option, std::string& error);
};

} // namespace qel
