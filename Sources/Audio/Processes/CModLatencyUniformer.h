#pragma once

#include <memory>
#include <utility>
#include <vector>

#include "Audio/DSP/CDSPModDelay.h"
#include "Audio/Graph/CAudioProcessBase.h"
#include "Audio/Graph/CAudioProcessDefBase.h"

namespace qel {

// Pads the latency of what runs in front of it to one fixed value per sample rate ("latencies":
// "rate=samples;..." sorted by rate), so that the host sees the same latency at every setting.
class CModLatencyUniformer : public CAudioProcessBase {
public:
    CError* init(const CAudioProcessDefBase& def, SAudioProcessEnv& env, const CString& name,
                 CAudioProcess* parent, int32_t stackIndex) override;
    CError* prepare(const SAudioFormat& format) override;
    void reset() override;
    void process() override;
    int64_t outputLatency(int64_t inputLatency) const override { return inputLatency + m_delay; }
    void setInputLatency(int64_t latency) override;

    uint32_t delay() const { return m_delay; }
    static bool parseLatencies(const CString& text, std::vector<std::pair<int64_t, int64_t>>& table);

private:
    void update();

    std::vector<std::pair<int64_t, int64_t>> m_table;
    std::vector<std::unique_ptr<CDSPModDelay>> m_delays;
    int64_t m_inputLatency = 0;
    uint32_t m_delay = 0;
    bool m_running = false;
};

class CModLatencyUniformerDef : public CAudioProcessDefBase {
public:
    std::unique_ptr<CAudioProcessBase> createProcess() const override {
        return std::make_unique<CModLatencyUniformer>();
    }
};

} // namespace qel
