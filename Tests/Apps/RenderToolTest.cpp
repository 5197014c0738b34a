#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "Support/TempDir.h"
#include "VstHost/CVstPluginHost.h"
#include "emberline-render/CAudioFile.h"
#include "emberline-render/CTestSignal.h"

namespace qel {
namespace {

struct SRun {
    int exitCode;
    std::string out;
    std::string err;
};

// Runs emberline-render with the given (shell-quoted) arguments; a prefix such as "cd DIR && env ..."
// runs it in another folder or environment.
SRun runTool(const std::string& arguments, const std::string& prefix = "") {
    test::TempDir dir;
    std::string errFile = dir.file("stderr.txt");
    std::string command = prefix + "'" QEL_RENDER_TOOL "' " + arguments + " 2>'" + errFile + "'";
    SRun run{-1, "", ""};
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return run;
    char buffer[4096];
    for (size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        run.out.append(buffer, got);
    int status = pclose(pipe);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.err = test::readWholeFile(errFile);
    return run;
}

SAudioData readWav(const std::string& path) {
    SAudioData audio;
    std::string error;
    EXPECT_TRUE(CAudioFile::read(path, audio, error)) << error;
    return audio;
}

double maxDifference(const SAudioData& a, const SAudioData& b) {
    EXPECT_EQ(a.channels.size(), b.channels.size());
    EXPECT_EQ(a.frames(), b.frames());
    double worst = 0;
    for (size_t c = 0; c < std::min(a.channels.size(), b.channels.size()); ++c)
        for (size_t i = 0; i < std::min(a.frames(), b.frames()); ++i)
            worst = std::max(worst, std::abs(a.channels[c][i] - b.channels[c][i]));
    return worst;
}

const std::string kFake = "--plugin '" QEL_FAKE_PLUGIN "' ";

TEST(RenderToolTest, ListsThePluginWithLatencyAtTheChosenSettings) {
    SRun run = runTool(kFake + "--info --set Delay=25 --rate 44100");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("entry       VSTPluginMain\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("name        Fake\n"), std::string::npos);
    EXPECT_NE(run.out.find("unique id   'Fake'\n"), std::string::npos);
    EXPECT_NE(run.out.find("channels    2 in, 2 out\n"), std::string::npos);
    EXPECT_NE(run.out.find("precision   float, double\n"), std::string::npos);
    EXPECT_NE(run.out.find("latency     25 samples at 44100 Hz (0.57 ms)\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("programs    2\n    0  Unity\n    1  Half\n"), std::string::npos);
    EXPECT_NE(run.out.find("parameters  2\n"
                           "    0  Gain             x        1.00\n"
                           "    1  Delay            smp      25\n"),
              std::string::npos)
        << run.out;
}

TEST(RenderToolTest, ConvertsSetTextsThroughThePluginAndCompensatesLatency) {
    test::TempDir dir;
    std::string plain = dir.file("plain.wav"), aligned = dir.file("aligned.wav");
    std::string common = kFake + "--impulse --seconds 0.01 --rate 8000 --set Gain=1.5 --set Delay=40 ";
    SRun run = runTool(common + "--json --out '" + plain + "'");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("\"latency\": 40,"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("\"settings\": {\"Gain\": \"1.50\", \"Delay\": \"40\"}"), std::string::npos);
    ASSERT_EQ(runTool(common + "--compensate --out '" + aligned + "'").exitCode, 0);

    SAudioData late = readWav(plain), early = readWav(aligned);
    ASSERT_EQ(late.frames(), 80u);
    ASSERT_EQ(early.frames(), 80u);
    EXPECT_EQ(late.rate, 8000);
    for (size_t i = 0; i < 80; ++i) {
        EXPECT_EQ(late.channels[1][i], i == 40 ? 1.5 : 0.0) << i;
        EXPECT_EQ(early.channels[1][i], i == 0 ? 1.5 : 0.0) << i;
    }
}

TEST(RenderToolTest, RandomBlocksInDoubleMatchFixedBlocksInFloat) {
    test::TempDir dir;
    std::string fixed = dir.file("fixed.wav"), random = dir.file("random.wav");
    std::string common = kFake + "--noise -12 --seconds 2 --set Delay=33 --set Gain=0.5 ";
    ASSERT_EQ(runTool(common + "--out '" + fixed + "'").exitCode, 0);
    SRun run = runTool(common + "--block random --double --offline --json --out '" + random + "'");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("\"block\": \"random 1..4096\""), std::string::npos);
    EXPECT_NE(run.out.find("\"precision\": \"double\""), std::string::npos);
    EXPECT_NE(run.out.find("\"processLevel\": 4"), std::string::npos);
    SAudioData a = readWav(fixed), b = readWav(random);
    EXPECT_LT(maxDifference(a, b), 1e-6);
    EXPECT_GT(std::abs(a.channels[0][1000]), 0);
}

TEST(RenderToolTest, RendersAnInputFileAtItsOwnRate) {
    test::TempDir dir;
    std::string input = dir.file("in.wav"), output = dir.file("out.wav"), error;
    SSignal mono = CTestSignal::sine(22050, 1, 0.2, 441, -3);
    ASSERT_TRUE(CAudioFile::write(input, mono.audio, error)) << error;
    SRun run = runTool(kFake + "--rate 96000 --out '" + output + "' '" + input + "'");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("rate        22050 Hz, block 512, float precision, real time\n"),
              std::string::npos)
        << run.out;
    SAudioData result = readWav(output);
    EXPECT_EQ(result.rate, 22050);
    ASSERT_EQ(result.channels.size(), 2u); // the mono input feeds both plug-in inputs
    for (const auto& channel : result.channels)
        EXPECT_LT(maxDifference({22050, {channel}}, mono.audio), 1e-6);
}

TEST(RenderToolTest, ReportsLevelsAndHarmonicsOfASine) {
    SRun run = runTool(kFake + "--sine 1000:-12 --seconds 0.5 --set Gain=0.5");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("input   1   peak   -12.00 dBFS"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("output  2   peak   -18.02 dBFS   RMS   -21.03 dBFS   NaN 0  Inf 0  subnormal 0"),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("output  1   H1  -18.02 dBFS"), std::string::npos) << run.out;
}

TEST(RenderToolTest, FailsWithAClearMessage) {
    SRun run = runTool("--x");
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(run.err, "emberline-render: unknown option --x\n(see emberline-render --help)\n");
    run = runTool("--rate -1");
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(run.err.find("--rate needs a positive number"), std::string::npos);

    run = runTool(kFake + "--set Foo=1");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, "emberline-render: no host parameter named 'Foo' (known: Gain, Delay)\n");
    run = runTool(kFake + "--set Gain=loud");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("--set Gain=loud: the plug-in did not convert the text"), std::string::npos)
        << run.err;
    run = runTool(kFake + "--program 2");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("--program 2: the plug-in has 2 programs"), std::string::npos);
    run = runTool(kFake + "/nonexistent/in.wav");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("cannot read '/nonexistent/in.wav': "), std::string::npos) << run.err;
    run = runTool("--plugin /nonexistent/x.so --info");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("cannot load '/nonexistent/x.so': "), std::string::npos);
    run = runTool("--plugin '" QEL_FAKE_BAD_MAGIC "' --info");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("bad magic"), std::string::npos);
}

TEST(RenderToolTest, FallsBackToNormalisedValuesForOtherPlugins) {
#ifndef QEL_DPF_PLUGIN
    GTEST_SKIP() << "no dpf-plugins-vst plug-in installed";
#else
    std::string name;
    {
        CVstPluginHost host;
        ASSERT_TRUE(host.load(QEL_DPF_PLUGIN));
        name = host.paramName(0);
    }
    // DPF plug-ins do not convert text; TEXT is then the normalised value itself.
    std::string plugin = "--plugin '" QEL_DPF_PLUGIN "' ";
    SRun run = runTool(plugin + "--impulse --seconds 0.1 --json --set '" + name + "=0.25'");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("\"settings\": {\"" + name + "\": "), std::string::npos) << run.out;
    run = runTool(plugin + "--set '" + name + "=1.5'");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("and it is no value from 0 to 1"), std::string::npos) << run.err;
#endif
}

#ifdef QEL_EMBERLINE_PLUGIN
const std::string kEmberline = "--plugin '" QEL_EMBERLINE_PLUGIN "' ";
#endif

TEST(RenderToolTest, EmberlineListsItsElevenParameters) {
#ifndef QEL_EMBERLINE_PLUGIN
    GTEST_SKIP() << "the Emberline target is not part of this build";
#else
    SRun run = runTool(kEmberline + "--info");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("parameters  11\n"), std::string::npos) << run.out;
    const char* names[] = {"Bypass", "Oversmp", "Model", "Mode", "VParam", "IParam",
                           "EmphLo", "EmphHi",  "EQLo",  "EQHi", "OutGain"};
    size_t position = run.out.find("parameters  11\n");
    for (int i = 0; i < 11; ++i) {
        char line[64];
        std::snprintf(line, sizeof line, "\n  %3d  %-16s ", i, names[i]);
        size_t found = run.out.find(line, position);
        ASSERT_NE(found, std::string::npos) << line << run.out;
        position = found + 1;
    }
#endif
}

TEST(RenderToolTest, EmberlineReportsItsLatencyAndRendersAlikeInBothPrecisions) {
#ifndef QEL_EMBERLINE_PLUGIN
    GTEST_SKIP() << "the Emberline target is not part of this build";
#else
    SRun run = runTool(kEmberline + "--set Oversmp=8X --sine 1000 --seconds 0.5 --json");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("\"latency\": 1913,"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("\"Oversmp\": \"8X\""), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("\"nan\": 0, \"inf\": 0"), std::string::npos) << run.out;

    test::TempDir dir;
    std::string fixed = dir.file("fixed.wav"), random = dir.file("random.wav");
    std::string common = kEmberline + "--set Oversmp=4X --noise -12 --seconds 1 ";
    ASSERT_EQ(runTool(common + "--out '" + fixed + "'").exitCode, 0);
    ASSERT_EQ(runTool(common + "--block random --double --out '" + random + "'").exitCode, 0);
    EXPECT_LT(maxDifference(readWav(fixed), readWav(random)), 1e-5);
#endif
}

// A continuous value lands where the plug-in's own text conversion puts it, not somewhere in the band
// of values whose rounded display reads the same; tube models named by numbers are found by name.
TEST(RenderToolTest, EmberlineSetsTheValueAsked) {
#ifndef QEL_EMBERLINE_PLUGIN
    GTEST_SKIP() << "the Emberline target is not part of this build";
#else
    float expected = 0;
    {
        CVstPluginHost host;
        ASSERT_TRUE(host.load(QEL_EMBERLINE_PLUGIN)) << host.error();
        int32_t index = 0;
        while (index < host.numParams() && host.paramName(index) != "EQLo")
            ++index;
        char text[64] = "2.5";
        ASSERT_EQ(host.vendorSpecific(27, index, text, 0), 0xBEEF);
        expected = std::stof(text);
        host.close();
    }
    SRun run = runTool(kEmberline + "--impulse --seconds 0.01 --json --set EQLo=2.5 --set Model=6550");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("\"settings\": {\"EQLo\": \"2.5\", \"Model\": \"6550\"}"), std::string::npos)
        << run.out;
    const std::string key = "\"settingsNormalized\": {\"EQLo\": ";
    const size_t at = run.out.find(key);
    ASSERT_NE(at, std::string::npos) << run.out;
    EXPECT_EQ(std::strtof(run.out.c_str() + at + key.size(), nullptr), expected) << run.out;

    run = runTool(kEmberline + "--impulse --seconds 0.01 --set EQLo=2.5 --set Model=6550");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    char line[96];
    std::snprintf(line, sizeof line, "set         EQLo = 2.5 dB (normalized %.6f)\n", double(expected));
    EXPECT_NE(run.out.find(line), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("set         Model = 6550 (normalized "), std::string::npos) << run.out;
#endif
}

// Sandboxed plug-in scanners run without HOME or XDG_CONFIG_HOME: the plug-in still loads and works on
// its compiled-in defaults, tube model names included, writes nothing and says why in its debug log.
TEST(RenderToolTest, EmberlineWorksWithoutAUserFolder) {
#ifndef QEL_EMBERLINE_PLUGIN
    GTEST_SKIP() << "the Emberline target is not part of this build";
#else
    test::TempDir work, logs;
    const std::string log = logs.file("debug.log");
    SRun run = runTool(kEmberline + "--info --set Model=6550",
                       "cd '" + work.path.string() + "' && env -u HOME -u XDG_CONFIG_HOME EMBERLINE_LOG='" +
                           log + "' ");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("parameters  11\n"), std::string::npos) << run.out;
    const size_t model = run.out.find("  Model ");
    ASSERT_NE(model, std::string::npos) << run.out;
    const std::string modelLine = run.out.substr(model, run.out.find('\n', model) - model);
    EXPECT_NE(modelLine.find("6550"), std::string::npos) << run.out;
    EXPECT_TRUE(std::filesystem::is_empty(work.path)) << "nothing is written";

    const std::string text = test::readWholeFile(log);
    size_t lines = 0;
    for (size_t at = text.find("No user data folder"); at != std::string::npos;
         at = text.find("No user data folder", at + 1))
        ++lines;
    EXPECT_EQ(lines, 1u) << text;
    EXPECT_NE(text.find("No user data folder (neither XDG_CONFIG_HOME nor HOME is set): the stores are off, "
                        "the compiled-in defaults are used and nothing is saved."),
              std::string::npos)
        << text;
#endif
}

} // namespace
} // namespace qel
