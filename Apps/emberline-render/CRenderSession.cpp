#include "CRenderSession.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <random>
#include <type_traits>

#include "CProgressLine.h"

namespace qel {

namespace {

// The plug-in's own text-to-value path: it writes the normalised value back as text.
constexpr int32_t kTextToValueIndex = 27;
constexpr intptr_t kTextToValueAnswer = 0xBEEF;
// The display of a given normalised value, answered the same way.
constexpr int32_t kDisplayIndex = 7;

bool parseNormalised(const char* text, double& value) {
    char* end = nullptr;
    value = std::strtod(text, &end);
    return end != text && *end == 0 && value >= 0 && value <= 1;
}

} // namespace

std::string CRenderSession::blockDescription() const {
    return m_options.randomBlocks ? "random 1..4096" : std::to_string(m_options.block);
}

bool CRenderSession::start(double rate, const Settings& extraSets, std::string& error) {
    m_host.setProcessLevel(m_options.offline ? kVstProcessLevelOffline : kVstProcessLevelRealtime);
    // Known before the entry runs, for plug-ins that ask the host during it.
    m_host.setSampleRate(rate);
    m_host.setBlockSize(maxBlock());
    if (!m_host.load(m_options.plugin)) {
        error = m_host.error();
        return false;
    }
    m_host.open();
    m_host.setSampleRate(rate);
    m_host.setBlockSize(maxBlock());
    offerChannels(std::min(m_host.numInputs(), m_options.channels));
    if (m_host.flags() & effFlagsCanDoubleReplacing) m_host.setProcessPrecision(m_options.doublePrecision);
    if (m_options.doublePrecision && !m_host.canProcessDouble()) {
        error = "the plug-in cannot process double precision";
        return false;
    }
    if (!m_options.doublePrecision && !m_host.canProcessFloat()) {
        error = "the plug-in has no processReplacing";
        return false;
    }
    if (m_options.program) {
        if (*m_options.program >= m_host.numPrograms()) {
            error = "--program " + std::to_string(*m_options.program) + ": the plug-in has " +
                    std::to_string(m_host.numPrograms()) + " programs";
            return false;
        }
        m_host.setProgram(*m_options.program);
    }
    m_applied.clear();
    for (const auto& [name, text] : m_options.sets)
        if (!applySetting(name, text, error)) return false;
    for (const auto& [name, text] : extraSets)
        if (!applySetting(name, text, error)) return false;
    m_host.mainsChanged(true);
    // A latency change reported while resuming takes effect on the next resume.
    if (m_host.ioChangedPending()) {
        m_host.mainsChanged(false);
        m_host.mainsChanged(true);
    }
    return true;
}

void CRenderSession::offerChannels(int32_t channels) {
    // As a DAW track does: a plug-in with more channels than the track uses processes only these.
    if (channels <= 0) return;
    VstSpeakerArrangement input{}, output{};
    input.numChannels = output.numChannels = channels;
    m_host.dispatcher(effSetSpeakerArrangement, 0, intptr_t(&input), &output);
}

std::string CRenderSession::displayOf(int32_t index, double value) {
    char shown[64] = {};
    if (m_host.vendorSpecific(kDisplayIndex, index, shown, float(value)) != kTextToValueAnswer) return {};
    shown[sizeof shown - 1] = 0;
    return shown;
}

bool CRenderSession::findDisplayedValue(int32_t index, const std::string& text, double& value) {
    constexpr int kSteps = 1024;
    int first = -1, last = -1;
    for (int step = 0; step <= kSteps; ++step) {
        char shown[64] = {};
        if (m_host.vendorSpecific(kDisplayIndex, index, shown, float(step) / kSteps) != kTextToValueAnswer)
            return false;
        if (text == shown) {
            if (first < 0) first = step;
            last = step;
        } else if (first >= 0) {
            break;
        }
    }
    if (first < 0) return false;
    value = (first + last) / 2.0 / kSteps;
    return true;
}

// The plug-in's text-to-value answer, or the text itself when it is a value from 0 to 1 and the
// plug-in does not convert texts.
bool CRenderSession::convertText(int32_t index, const std::string& text, double& value,
                                 std::string& problem) {
    char buffer[64] = {};
    std::strncpy(buffer, text.c_str(), sizeof buffer - 1);
    const bool converted = m_host.vendorSpecific(kTextToValueIndex, index, buffer, 0) == kTextToValueAnswer;
    buffer[sizeof buffer - 1] = 0;
    if (converted && !parseNormalised(buffer, value)) {
        problem = std::string(": the plug-in answered '") + buffer + "'";
        return false;
    }
    if (!converted && !parseNormalised(text.c_str(), value)) {
        problem = ": the plug-in did not convert the text, and it is no value from 0 to 1";
        return false;
    }
    return true;
}

bool CRenderSession::applySetting(const std::string& name, const std::string& text, std::string& error) {
    int32_t index = -1;
    std::string known;
    for (int32_t i = 0; i < m_host.numParams() && index < 0; ++i) {
        std::string paramName = m_host.paramName(i);
        if (paramName == name) index = i;
        known += (i ? ", " : "") + paramName;
    }
    if (index < 0) {
        error = "no host parameter named '" + name + "' (known: " + known + ")";
        return false;
    }
    double value = 0;
    std::string problem;
    const bool converted = convertText(index, text, value, problem);
    // The plug-in's conversion is exact where displays are rounded, so it decides whenever its value
    // shows as the text. An enumeration whose names are numbers ("6550") reads such a text as a state
    // index instead; the display of each position finds the state by its name.
    double shownAt = 0;
    if ((!converted || displayOf(index, value) != text) && findDisplayedValue(index, text, shownAt)) {
        value = shownAt;
    } else if (!converted) {
        error = "--set " + name + "=" + text + problem;
        return false;
    }
    m_host.setParameter(index, float(value));
    m_applied.push_back(
        {name, m_host.paramDisplay(index), m_host.paramLabel(index), double(m_host.parameter(index))});
    return true;
}

bool CRenderSession::render(const SAudioData& input, SAudioData& output, bool showProgress,
                            std::string& error) {
    if (input.channels.empty()) {
        error = "the input has no channels";
        return false;
    }
    m_host.startProcess();
    if (m_options.doublePrecision)
        renderBlocks<double>(input, output, showProgress);
    else
        renderBlocks<float>(input, output, showProgress);
    m_host.stopProcess();
    return true;
}

template <typename T>
void CRenderSession::renderBlocks(const SAudioData& input, SAudioData& output, bool showProgress) {
    const size_t inputs = size_t(m_host.numInputs()), outputs = size_t(m_host.numOutputs());
    const size_t signalChannels = input.channels.size();
    // Like a DAW track: a mono track still plays through a stereo pair, wider buses stay silent.
    const size_t kept = std::min(outputs, std::max<size_t>(signalChannels, 2));
    const size_t block = size_t(maxBlock()), length = input.frames();
    const size_t skip = m_options.compensate ? size_t(std::max(0, latency())) : 0;
    const size_t total = length + skip;

    std::vector<std::vector<T>> in(inputs, std::vector<T>(block)), out(outputs, std::vector<T>(block));
    std::vector<T*> inPointers, outPointers;
    for (auto& channel : in)
        inPointers.push_back(channel.data());
    for (auto& channel : out)
        outPointers.push_back(channel.data());
    output.rate = input.rate;
    output.channels.assign(kept, std::vector<double>(length, 0.0));
    m_special.assign(kept, SSpecialCounts{});

    std::mt19937 random(0x51e1);
    CProgressLine progress;
    for (size_t position = 0; position < total;) {
        size_t frames = m_options.randomBlocks ? random() % 4096 + 1 : block;
        frames = std::min(frames, total - position);
        for (size_t c = 0; c < inputs; ++c) {
            size_t from = signalChannels == 1 && c < 2 ? 0 : c;
            for (size_t i = 0; i < frames; ++i)
                in[c][i] = from < signalChannels && position + i < length
                               ? T(input.channels[from][position + i])
                               : T(0);
        }
        for (auto& channel : out)
            std::fill(channel.begin(), channel.end(), T(0));
        if constexpr (std::is_same_v<T, double>)
            m_host.processDouble(inPointers.data(), outPointers.data(), int32_t(frames));
        else
            m_host.processFloat(inPointers.data(), outPointers.data(), int32_t(frames));
        for (size_t c = 0; c < kept; ++c) {
            CSignalAnalysis::countSpecial(out[c].data(), frames, m_special[c]);
            for (size_t i = 0; i < frames; ++i)
                if (position + i >= skip) output.channels[c][position + i - skip] = double(out[c][i]);
        }
        position += frames;
        if (showProgress) progress.update(double(position) / double(total));
    }
    if (showProgress) progress.finish();
}

} // namespace qel
