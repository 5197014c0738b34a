#pragma once

#include <string>
#include <utility>
#include <vector>

#include "CRenderOptions.h"
#include "CRenderReport.h"
#include "CSignalAnalysis.h"
#include "SAudioData.h"
#include "VstHost/CVstPluginHost.h"

namespace qel {

// Drives one plug-in instance through a render in the order a DAW uses.
class CRenderSession {
public:
    using Settings = std::vector<std::pair<std::string, std::string>>;

    explicit CRenderSession(const CRenderOptions& options) : m_options(options) {}

    // Entry, open, rate, block size, precision, program, parameters (the options' then extraSets),
    // resume. False with the message in error.
    bool start(double rate, const Settings& extraSets, std::string& error);
    // Renders input through effStartProcess .. effStopProcess. Output has the input's channels (at
    // least two, at most the plug-in's outputs) and length; --compensate renders the latency away.
    bool render(const SAudioData& input, SAudioData& output, bool showProgress, std::string& error);
    // Suspend and close.
    void stop() { m_host.close(); }

    CVstPluginHost& host() { return m_host; }
    int32_t latency() const { return m_host.latency(); }
    int32_t maxBlock() const { return m_options.randomBlocks ? 4096 : m_options.block; }
    std::string blockDescription() const;
    // Each setting applied, as the plug-in holds it afterwards.
    const std::vector<CRenderReport::SSetting>& applied() const { return m_applied; }
    // NaN, Inf and subnormal output samples per output channel, in the processing precision.
    const std::vector<SSpecialCounts>& specialCounts() const { return m_special; }

private:
    void offerChannels(int32_t channels);
    std::string displayOf(int32_t index, double value);
    bool findDisplayedValue(int32_t index, const std::string& text, double& value);
    bool convertText(int32_t index, const std::string& text, double& value, std::string& problem);
    bool applySetting(const std::string& name, const std::string& text, std::string& error);
    template <typename T>
    void renderBlocks(const SAudioData& input, SAudioData& output, bool showProgress);

    const CRenderOptions& m_options;
    CVstPluginHost m_host;
    std::vector<CRenderReport::SSetting> m_applied;
    std::vector<SSpecialCounts> m_special;
};

} // namespace qel
