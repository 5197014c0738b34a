#include "CRenderOptions.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace qel {

namespace {

bool parseNumber(const std::string& text, double& value) {
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    value = std::strtod(text.c_str(), &end);
    return errno == 0 && *end == 0 && std::isfinite(value);
}

bool parseWhole(const std::string& text, int32_t low, int32_t high, int32_t& value) {
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    long parsed = std::strtol(text.c_str(), &end, 10);
    if (errno != 0 || *end != 0 || parsed < low || parsed > high) return false;
    value = int32_t(parsed);
    return true;
}

bool fail(std::string& error, std::string message) {
    error = std::move(message);
    return false;
}

} // namespace

const char* CRenderOptions::usage() {
    return "usage: emberline-render [options] [INPUT.wav]\n"
           "  --plugin PATH       plug-in to load (default: Emberline.so beside this program)\n"
           "  --info              describe the plug-in and its parameters, render nothing\n"
           "  --rate HZ           sample rate for generated signals (default 48000)\n"
           "  --block N|random    host block size (default 512); random: 1..4096, fixed seed\n"
           "  --double            process in double precision\n"
           "  --offline           report the offline process level\n"
           "  --set NAME=TEXT     set a parameter from its text, e.g. --set Oversmp=8X (repeatable)\n"
           "  --program N         select program N first\n"
           "  --impulse           render a unit impulse\n"
           "  --sine HZ[:DBFS]    render a sine (default level -6 dBFS)\n"
           "  --noise DBFS        render white noise of that RMS level\n"
           "  --seconds S         length of a generated signal (default 3)\n"
           "  --channels N        channels of a generated signal (default 2)\n"
           "  --compensate        remove the plug-in latency from the output\n"
           "  --in FILE           input WAV file (its rate overrides --rate)\n"
           "  --out FILE          write the output as 32-bit float WAV\n"
           "  --bench             real-time factor for each oversampling setting\n"
           "  --editor-snapshot FILE.png  draw the editor into a PNG picture (no display needed)\n"
           "  --scale S           the editor's scale for --editor-snapshot (default 1)\n"
           "  --json              machine-readable summary on stdout\n"
           "Without an input, a signal option or --info, a built-in demo passage is rendered.\n";
}

bool CRenderOptions::setSignal(Signal wanted, const std::string& option, std::string& error) {
    if (signal != Signal::Demo && signal != wanted) {
        error = option + " cannot be combined with another input (--in, --impulse, --sine, --noise)";
        return false;
    }
    signal = wanted;
    return true;
}

bool CRenderOptions::parse(int argc, const char* const* argv, std::string& error) {
    for (int i = 1; i < argc; ++i) {
        std::string option = argv[i];
        std::optional<std::string> inlineValue;
        if (option.rfind("--", 0) == 0) {
            size_t equals = option.find('=');
            if (equals != std::string::npos) {
                inlineValue = option.substr(equals + 1);
                option.resize(equals);
            }
        }
        // The option's argument, or nullopt when the command line ends.
        auto value = [&]() -> std::optional<std::string> {
            if (inlineValue) return inlineValue;
            if (i + 1 < argc) return std::string(argv[++i]);
            return std::nullopt;
        };
        auto noValue = [&] {
            if (inlineValue) error = option + " takes no value";
            return !inlineValue;
        };
        auto flag = [&](bool& target) { return noValue() && (target = true); };

        if (option == "--help" || option == "-h") {
            if (!flag(help)) return false;
        } else if (option == "--plugin") {
            auto text = value();
            if (!text || text->empty()) return fail(error, "--plugin needs a path");
            plugin = *text;
        } else if (option == "--info") {
            if (!flag(info)) return false;
        } else if (option == "--rate") {
            auto text = value();
            if (!text || !parseNumber(*text, rate) || rate <= 0)
                return fail(error, "--rate needs a positive number");
            rateGiven = true;
        } else if (option == "--block") {
            auto text = value();
            if (text && *text == "random") {
                randomBlocks = true;
            } else if (!text || !parseWhole(*text, 1, 1 << 20, block)) {
                return fail(error, "--block needs a whole number from 1 to 1048576 or 'random'");
            } else {
                randomBlocks = false;
            }
        } else if (option == "--double") {
            if (!flag(doublePrecision)) return false;
        } else if (option == "--offline") {
            if (!flag(offline)) return false;
        } else if (option == "--set") {
            auto text = value();
            size_t equals = text ? text->find('=') : std::string::npos;
            if (!text || equals == 0 || equals == std::string::npos)
                return fail(error, "--set needs NAME=TEXT");
            sets.emplace_back(text->substr(0, equals), text->substr(equals + 1));
        } else if (option == "--program") {
            auto text = value();
            int32_t index = 0;
            if (!text || !parseWhole(*text, 0, 1 << 20, index))
                return fail(error, "--program needs a program number from 0");
            program = index;
        } else if (option == "--impulse") {
            if (!noValue() || !setSignal(Signal::Impulse, option, error)) return false;
        } else if (option == "--sine") {
            auto text = value();
            std::string frequency = text ? text->substr(0, text->find(':')) : std::string();
            bool good = text && parseNumber(frequency, sineFrequency) && sineFrequency > 0;
            if (good && frequency.size() < text->size())
                good = parseNumber(text->substr(frequency.size() + 1), sineDbfs) && sineDbfs <= 0;
            if (!good) return fail(error, "--sine needs HZ or HZ:DBFS (a positive frequency, a level <= 0)");
            if (!setSignal(Signal::Sine, option, error)) return false;
        } else if (option == "--noise") {
            auto text = value();
            if (!text || !parseNumber(*text, noiseDbfs) || noiseDbfs > 0)
                return fail(error, "--noise needs a level in dBFS (<= 0)");
            if (!setSignal(Signal::Noise, option, error)) return false;
        } else if (option == "--seconds") {
            auto text = value();
            if (!text || !parseNumber(*text, seconds) || seconds <= 0 || seconds > 3600)
                return fail(error, "--seconds needs a positive number up to 3600");
        } else if (option == "--compensate") {
            if (!flag(compensate)) return false;
        } else if (option == "--editor-snapshot") {
            auto text = value();
            if (!text || text->empty()) return fail(error, "--editor-snapshot needs a file name");
            editorSnapshot = *text;
        } else if (option == "--scale") {
            auto text = value();
            if (!text || !parseNumber(*text, scale) || scale < 0.25 || scale > 4)
                return fail(error, "--scale needs a number from 0.25 to 4");
        } else if (option == "--bench") {
            if (!flag(bench)) return false;
        } else if (option == "--json") {
            if (!flag(json)) return false;
        } else if (option == "--channels") {
            auto text = value();
            if (!text || !parseWhole(*text, 1, 64, channels))
                return fail(error, "--channels needs a whole number from 1 to 64");
        } else if (option == "--in") {
            auto text = value();
            if (!text || text->empty()) return fail(error, "--in needs a file");
            if (!setSignal(Signal::File, option, error)) return false;
            inputFile = *text;
        } else if (option == "--out") {
            auto text = value();
            if (!text || text->empty()) return fail(error, "--out needs a file");
            outputFile = *text;
        } else if (option.size() > 1 && option[0] == '-') {
            error = "unknown option " + option;
            return false;
        } else {
            if (!inputFile.empty()) return fail(error, "more than one input file: '" + option + "'");
            if (!setSignal(Signal::File, option, error)) return false;
            inputFile = option;
        }
    }
    if (bench && (info || signal != Signal::Demo)) {
        error = "--bench renders its own noise and takes no input or --info";
        return false;
    }
    return true;
}

} // namespace qel
