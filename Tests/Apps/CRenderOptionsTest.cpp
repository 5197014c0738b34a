#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "emberline-render/CRenderOptions.h"

namespace qel {
namespace {

// Parses the words after the program name; the message when it fails, "" otherwise.
std::string parse(CRenderOptions& options, std::vector<const char*> words) {
    words.insert(words.begin(), "emberline-render");
    std::string error;
    bool good = options.parse(int(words.size()), words.data(), error);
    EXPECT_EQ(good, error.empty());
    return error;
}

std::string failure(std::vector<const char*> words) {
    CRenderOptions options;
    return parse(options, std::move(words));
}

TEST(CRenderOptionsTest, DefaultsRenderTheDemoLikeADaw) {
    CRenderOptions options;
    ASSERT_EQ(parse(options, {}), "");
    EXPECT_EQ(options.signal, CRenderOptions::Signal::Demo);
    EXPECT_EQ(options.rate, 48000);
    EXPECT_EQ(options.block, 512);
    EXPECT_FALSE(options.randomBlocks || options.doublePrecision || options.offline || options.compensate);
    EXPECT_EQ(options.channels, 2);
    EXPECT_EQ(options.seconds, 3);
    EXPECT_TRUE(options.plugin.empty());
}

TEST(CRenderOptionsTest, ReadsEveryOptionInBothSpellings) {
    CRenderOptions options;
    ASSERT_EQ(parse(options, {"--plugin",     "/p.so",
                              "--rate=44100", "--block",
                              "random",       "--double",
                              "--offline",    "--set",
                              "Oversmp=8X",   "--set=Model=12AX7",
                              "--set",        "Odd=a=b",
                              "--program",    "3",
                              "--sine",       "997:-12.5",
                              "--seconds",    "0.5",
                              "--compensate", "--json",
                              "--channels",   "1",
                              "--out",        "o.wav"}),
              "");
    EXPECT_EQ(options.plugin, "/p.so");
    EXPECT_EQ(options.rate, 44100);
    EXPECT_TRUE(options.rateGiven);
    EXPECT_TRUE(options.randomBlocks && options.doublePrecision && options.offline && options.compensate);
    ASSERT_EQ(options.sets.size(), 3u);
    EXPECT_EQ(options.sets[0], std::make_pair(std::string("Oversmp"), std::string("8X")));
    EXPECT_EQ(options.sets[1], std::make_pair(std::string("Model"), std::string("12AX7")));
    EXPECT_EQ(options.sets[2], std::make_pair(std::string("Odd"), std::string("a=b")));
    EXPECT_EQ(options.program, 3);
    EXPECT_EQ(options.signal, CRenderOptions::Signal::Sine);
    EXPECT_EQ(options.sineFrequency, 997);
    EXPECT_EQ(options.sineDbfs, -12.5);
    EXPECT_EQ(options.seconds, 0.5);
    EXPECT_TRUE(options.json);
    EXPECT_EQ(options.channels, 1);
    EXPECT_EQ(options.outputFile, "o.wav");

    CRenderOptions file;
    ASSERT_EQ(parse(file, {"in.wav", "--block", "64", "--noise", "-20"}),
              "--noise cannot be combined with another input (--in, --impulse, --sine, --noise)");
    CRenderOptions positional;
    ASSERT_EQ(parse(positional, {"--block", "random", "--block", "64", "in.wav", "--sine", "50"}),
              "--sine cannot be combined with another input (--in, --impulse, --sine, --noise)");
    EXPECT_EQ(positional.inputFile, "in.wav");
    EXPECT_FALSE(positional.randomBlocks);
    EXPECT_EQ(positional.block, 64);
}

TEST(CRenderOptionsTest, RejectsBadValuesWithTheOptionNamed) {
    EXPECT_EQ(failure({"--x"}), "unknown option --x");
    EXPECT_EQ(failure({"-x"}), "unknown option -x");
    EXPECT_EQ(failure({"--rate", "-3"}), "--rate needs a positive number");
    EXPECT_EQ(failure({"--rate", "0"}), "--rate needs a positive number");
    EXPECT_EQ(failure({"--rate", "48k"}), "--rate needs a positive number");
    EXPECT_EQ(failure({"--rate"}), "--rate needs a positive number");
    EXPECT_EQ(failure({"--block", "0"}), "--block needs a whole number from 1 to 1048576 or 'random'");
    EXPECT_EQ(failure({"--block", "1.5"}), "--block needs a whole number from 1 to 1048576 or 'random'");
    EXPECT_EQ(failure({"--set", "Oversmp"}), "--set needs NAME=TEXT");
    EXPECT_EQ(failure({"--set", "=8X"}), "--set needs NAME=TEXT");
    EXPECT_EQ(failure({"--program", "-1"}), "--program needs a program number from 0");
    EXPECT_EQ(failure({"--sine", "0"}), "--sine needs HZ or HZ:DBFS (a positive frequency, a level <= 0)");
    EXPECT_EQ(failure({"--sine", "1000:3"}),
              "--sine needs HZ or HZ:DBFS (a positive frequency, a level <= 0)");
    EXPECT_EQ(failure({"--sine", "1000:"}),
              "--sine needs HZ or HZ:DBFS (a positive frequency, a level <= 0)");
    EXPECT_EQ(failure({"--noise", "6"}), "--noise needs a level in dBFS (<= 0)");
    EXPECT_EQ(failure({"--channels", "0"}), "--channels needs a whole number from 1 to 64");
    EXPECT_EQ(failure({"--double=yes"}), "--double takes no value");
    EXPECT_EQ(failure({"a.wav", "b.wav"}), "more than one input file: 'b.wav'");
    EXPECT_EQ(failure({"--impulse", "--sine", "100"}),
              "--sine cannot be combined with another input (--in, --impulse, --sine, --noise)");
    EXPECT_EQ(failure({"--bench", "--impulse"}),
              "--bench renders its own noise and takes no input or --info");
}

} // namespace
} // namespace qel
