// emberline-render: runs a VST 2.4 plug-in over a sound file or a generated signal, like a DAW
// would, and reports what came out.

#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <string>

#include "Audio/VST/EditorSnapshot.h"
#include "CAudioFile.h"
#include "CDemoPassage.h"
#include "CPluginInfo.h"
#include "CRenderBench.h"
#include "CRenderOptions.h"
#include "CRenderReport.h"
#include "CRenderSession.h"
#include "CSignalAnalysis.h"
#include "CTestSignal.h"

using namespace qel;

namespace {

int failWith(const std::string& message) {
    std::fprintf(stderr, "emberline-render: %s\n", message.c_str());
    return 1;
}

// Emberline.so beside this program, where the build puts both.
std::string defaultPlugin() {
    char path[PATH_MAX];
    ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) return "Emberline.so";
    std::string exe(path, size_t(length));
    return exe.substr(0, exe.rfind('/') + 1) + "Emberline.so";
}

bool makeSignal(const CRenderOptions& options, SSignal& signal, std::string& error) {
    switch (options.signal) {
    case CRenderOptions::Signal::File:
        signal.description = options.inputFile;
        return CAudioFile::read(options.inputFile, signal.audio, error);
    case CRenderOptions::Signal::Impulse:
        signal = CTestSignal::impulse(options.rate, options.channels, options.seconds);
        return true;
    case CRenderOptions::Signal::Sine:
        if (options.sineFrequency >= options.rate / 2) {
            error = "--sine frequency must be below half the sample rate";
            return false;
        }
        signal = CTestSignal::sine(options.rate, options.channels, options.seconds, options.sineFrequency,
                                   options.sineDbfs);
        return true;
    case CRenderOptions::Signal::Noise:
        signal = CTestSignal::noise(options.rate, options.channels, options.seconds, options.noiseDbfs);
        return true;
    case CRenderOptions::Signal::Demo:
        signal = CDemoPassage::render(options.rate, options.channels);
        return true;
    }
    return false;
}

CRenderReport makeReport(const CRenderOptions& options, CRenderSession& session, const SSignal& signal,
                         const SAudioData& output) {
    CRenderReport report;
    report.plugin = session.host().effectName();
    report.pluginPath = options.plugin;
    report.signal = signal.description;
    report.block = session.blockDescription();
    report.doublePrecision = options.doublePrecision;
    report.offline = options.offline;
    report.rate = signal.audio.rate;
    report.latency = session.latency();
    report.compensated = options.compensate;
    report.program = options.program;
    report.settings = session.applied();
    report.outputFile = options.outputFile;
    for (const auto& channel : signal.audio.channels)
        report.input.push_back(CSignalAnalysis::levels(channel));
    if (signal.tone) report.toneFrequency = signal.tone->frequency;
    // The tone shows up in the output after the latency; skip 50 ms more for filters to settle.
    size_t shift = options.compensate ? 0 : size_t(std::max(0, session.latency()));
    size_t settle = size_t(0.05 * output.rate);
    for (size_t c = 0; c < output.channels.size(); ++c) {
        CRenderReport::SOutputChannel channel;
        channel.levels = CSignalAnalysis::levels(output.channels[c]);
        channel.special = session.specialCounts()[c];
        if (signal.tone)
            channel.harmonics =
                CSignalAnalysis::harmonics(output.channels[c], output.rate, signal.tone->frequency,
                                           signal.tone->start + shift + settle, signal.tone->end + shift);
        report.output.push_back(channel);
    }
    return report;
}

// The picture is drawn by the plug-in itself, with its own renderer, at the asked scale.
int writeEditorSnapshot(const CRenderOptions& options, CRenderSession& session) {
    SEditorSnapshotRequest request;
    request.path = options.editorSnapshot.c_str();
    request.scale = options.scale;
    if (session.host().vendorSpecific(kEditorSnapshotIndex, 0, &request, 0) != 1)
        return failWith("no editor snapshot: " + (request.error[0]
                                                      ? std::string(request.error)
                                                      : std::string("the plug-in does not draw one")));
    std::printf("Editor snapshot at scale %g written to %s\n", options.scale, options.editorSnapshot.c_str());
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    CRenderOptions options;
    std::string error;
    if (!options.parse(argc, argv, error)) {
        std::fprintf(stderr, "emberline-render: %s\n(see emberline-render --help)\n", error.c_str());
        return 2;
    }
    if (options.help) {
        std::fputs(CRenderOptions::usage(), stdout);
        return 0;
    }
    if (options.plugin.empty()) options.plugin = defaultPlugin();
    if (options.bench) return CRenderBench::run(options);

    SSignal signal;
    if (!options.info && !makeSignal(options, signal, error)) return failWith(error);
    double rate = options.info ? options.rate : signal.audio.rate;

    CRenderSession session(options);
    if (!session.start(rate, {}, error)) return failWith(error);
    if (!options.editorSnapshot.empty()) return writeEditorSnapshot(options, session);
    if (options.info) {
        CPluginInfo::print(session.host(), rate, stdout);
        return 0;
    }
    SAudioData output;
    if (!session.render(signal.audio, output, true, error)) return failWith(error);
    CRenderReport report = makeReport(options, session, signal, output);
    session.stop();
    if (!options.outputFile.empty() && !CAudioFile::write(options.outputFile, output, error))
        return failWith(error);
    if (options.json)
        report.printJson(stdout);
    else
        report.printText(stdout);
    return 0;
}
