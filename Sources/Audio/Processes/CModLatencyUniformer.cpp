#include "Audio/Processes/CModLatencyUniformer.h"

#include <algorithm>
#include <cmath>

#include "Core/CDebugLog.h"

namespace qel {

bool CModLatencyUniformer::parseLatencies(const CString& text,
                                          std::vector<std::pair<int64_t, int64_t>>& table) {
    table.clear();
    for (const CString& entry : text.split(';')) {
        std::vector<CString> parts = entry.split('=');
        int32_t rate = 0, latency = 0;
        if (parts.size() != 2 || !parts[0].trimmed().parseInt32(rate) ||
            !parts[1].trimmed().parseInt32(latency))
            return false;
        table.emplace_back(rate, latency);
    }
    return true;
}

CError* CModLatencyUniformer::init(const CAudioProcessDefBase& def, SAudioProcessEnv& env,
                                   const CString& name, CAudioProcess* parent, int32_t stackIndex) {
    QEL_CHECK(CAudioProcessBase::init(def, env, name, parent, stackIndex));
    if (!parseLatencies(def.getAttr("latencies"), m_table))
        return QEL_ERROR(
            def.fullName(),
            "@qelstr_CModLatencyUniformer_init_InvalidLatencies Invalid 'latencies' attribute value '%1' "
            "specified.",
            def.getAttr("latencies"));
    return nullptr;
}

CError* CModLatencyUniformer::prepare(const SAudioFormat& format) {
    ensurePorts(1, 1);
    QEL_CHECK(CAudioProcessBase::prepare(format));
    int64_t longest = 0;
    for (const auto& entry : m_table)
        longest = std::max(longest, entry.second);
    const uint32_t xfade = uint32_t(std::lround(0.015 * format.sampleRate));
    m_delays.resize(size_t(std::max(format.channelCount, 0)));
    for (auto& delay : m_delays) {
        if (!delay) delay = std::make_unique<CDSPModDelay>();
        delay->prepare(uint32_t(longest), xfade);
    }
    m_running = false;
    update();
    return nullptr;
}

void CModLatencyUniformer::reset() {
    CAudioProcessBase::reset();
    for (auto& delay : m_delays)
        delay->reset();
}

void CModLatencyUniformer::setInputLatency(int64_t latency) {
    m_inputLatency = latency;
    update();
}

void CModLatencyUniformer::update() {
    const double rate = m_format.sampleRate;
    const int64_t rounded = std::llround(rate);
    auto entry =
        std::find_if(m_table.begin(), m_table.end(), [&](const auto& e) { return e.first >= rounded; });
    if (entry == m_table.end()) {
        CDebugLog::writeLine(CString::format("Unsupported sample rate %f in LatencyUniformer", rate), m_name);
        return;
    }
    if (entry->second < m_inputLatency) {
        CDebugLog::writeLine(CString::format("Too high latency %i at sample rate %f in LatencyUniformer",
                                             int(m_inputLatency), rate),
                             m_name);
        return;
    }
    const uint32_t wanted = uint32_t(entry->second - m_inputLatency);
    if (wanted == m_delay && m_running) return;
    m_delay = wanted;
    for (auto& delay : m_delays) {
        if (m_running)
            delay->setDelay(wanted);
        else
            delay->jumpTo(wanted);
    }
}

void CModLatencyUniformer::process() {
    m_running = true;
    for (int32_t channel = 0; channel < int32_t(m_delays.size()); ++channel) {
        SAudioBlock* in = gather(0, channel);
        if (!in) continue;
        SAudioBlock* out = m_env->pool->take(in->length);
        m_delays[size_t(channel)]->process(in->samples(), out->samples(), in->length);
        CAudioBlockPool::release(in);
        deliver(0, channel, out);
    }
    releaseInputs();
}

} // namespace qel
