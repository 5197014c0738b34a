#pragma once

#include <memory>
#include <vector>

#include "Audio/DSP/CPolyphaseDecimator.h"
#include "Audio/DSP/CPolyphaseInterpolator.h"
#include "Audio/Graph/CAudioProcessBase.h"
#include "Audio/Graph/CAudioProcessBoundary.h"
#include "Audio/Graph/CAudioProcessDefBase.h"
#include "Audio/Params/CAudioParamWatch.h"

namespace qel {

// Changes the rate by 2^n with cascaded 2x stages: an up-sampler interpolates then filters per stage,
// a down-sampler filters then decimates. The stage next to the host rate carries the steep filter,
// the stages above it the soft one. Slot "mode" is the oversampling choice (0 automatic, 1 + n
// otherwise), "host-mode" the automatic stage count. A new count takes effect at the next prepare, so
// the stages as they are keep running until the container has built their successors. When every stage
// filter is a fixed FIR, each stage runs as one polyphase filter at its lower rate instead of its two
// processes: the same output without the taps that meet inserted zeros or dropped outputs.
class CModResampler : public CAudioProcessBase {
public:
    static constexpr const char* kInterpolator = "shared::audio.modUpsamplerInterpolator";
    static constexpr const char* kDecimator = "shared::audio.modDownsamplerDecimator";
    static constexpr const char* kUpSteep = "shared::audio.modUpsamplerFilterSteep";
    static constexpr const char* kDownSteep = "shared::audio.modDownsamplerFilterSteep";
    static constexpr const char* kSoft = "shared::audio.modResamplerFilterSoft";

    ~CModResampler() override;

    CError* init(const CAudioProcessDefBase& def, SAudioProcessEnv& env, const CString& name,
                 CAudioProcess* parent, int32_t stackIndex) override;
    void reset() override;
    void applyParamUpdates() override;
    void process() override;
    CError* prepare(const SAudioFormat& format) override;
    SAudioFormat outputFormat(const SAudioFormat& input) const override;
    int64_t outputLatency(int64_t inputLatency) const override;
    bool takeFormatChange() override;

    int32_t stageCount() const { return int32_t(m_list.size()) / 2; }
    // The sub-processes in signal order.
    std::vector<CString> listNames() const;

private:
    int32_t wantedStages() const;
    CError* setStages(int32_t count);
    CError* make(const char* defPath, const char* name, std::unique_ptr<CAudioProcessBase>& made);
    void wire();
    // Polyphase stages for the prepared processes, or none when a stage filter is not a fixed FIR.
    void preparePolyphase();
    void processPolyphase();

    bool m_isUpsampler = true;
    CAudioParamWatch m_mode;
    CAudioParamWatch m_hostMode;
    int32_t m_wanted = 0;
    std::vector<std::unique_ptr<CAudioProcessBase>> m_list;
    std::unique_ptr<CAudioProcessBoundary> m_sink;
    // [stage][channel], in signal order; only the list of the resampler's direction is filled.
    std::vector<std::vector<std::unique_ptr<CPolyphaseInterpolator>>> m_interpolators;
    std::vector<std::vector<std::unique_ptr<CPolyphaseDecimator>>> m_decimators;
    bool m_formatChanged = false;
};

class CModResamplerDef : public CAudioProcessDefBase {
public:
    CError* init() override;
    std::unique_ptr<CAudioProcessBase> createProcess() const override {
        return std::make_unique<CModResampler>();
    }
    bool isUpsampler() const { return m_isUpsampler; }

private:
    bool m_isUpsampler = false;
};

} // namespace qel
