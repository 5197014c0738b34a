#pragma once

#include <memory>
#include <vector>

#include "Audio/DSP/CPhaseSplitConvolver.h"
#include "Audio/DSP/SHalfCosineFade.h"
#include "Audio/Filters/CAudioFilterParams.h"
#include "Audio/Graph/CAudioProcessDefBase.h"
#include "Audio/Graph/CAudioProcessTerminalBase.h"

namespace qel {

class CAudioFilterGenArray;

// A long linear-phase filter applied by FFT convolution. Its kernel comes from a FIR generator array
// for the slot values ("index" selects the entry, then the generators' slots and "fixsr"); a slot
// without a parameter takes the definition's attribute of that name. A kernel change cross-fades from
// the old kernel's output to the new one's.
class CModFilterFIRModule : public CAudioModule {
public:
    void prepare(double sampleRate, uint32_t maxBlockLength) override;
    void updateCoefficients() override;
    void registerParams() override;
    void reset() override;
    SAudioBlock* forward(SAudioBlock* const* inputs, int32_t inputCount) override;
    void process(SAudioBlock* const* inputs, int32_t inputCount, double* out, uint32_t length) override;
    bool morphsOwnUpdates() const override { return true; }

private:
    CPhaseSplitConvolver m_current;
    CPhaseSplitConvolver m_next;
    std::vector<double> m_scratch;
    uint32_t m_fadeLength = 0;
    uint32_t m_fadeRemaining = 0;
    SHalfCosineFade m_fade;
    bool m_hasKernel = false;
};

class CModFilterFIR : public CAudioProcessTerminal<CModFilterFIRModule> {
public:
    static constexpr const char* kIndexSlot = "index";
    static constexpr const char* kFixedRateSlot = "fixsr";

    CError* init(const CAudioProcessDefBase& def, SAudioProcessEnv& env, const CString& name,
                 CAudioProcess* parent, int32_t stackIndex) override;
    CError* prepare(const SAudioFormat& format) override;
    int64_t ownDelay() const override { return m_isZeroLatency ? 0 : m_delay; }

    const std::vector<CString>& slotNames() const { return m_slotNames; }
    // The kernel for the slot values of a channel; channels with equal values share one. Null when the
    // values give no kernel (the filter then passes its input through).
    std::shared_ptr<const CPhaseSplitKernel> kernelFor(int32_t channel);
    int32_t delay() const { return m_delay; }
    // The taps of the last kernel kernelFor gave.
    const std::vector<double>& taps() const { return m_lastTaps; }
    // True when no slot reads a parameter: the kernel is the definition's for good.
    bool isFixed() const;

private:
    double unattached(const CString& slotName) const;

    const CAudioFilterGenArray* m_array = nullptr;
    std::vector<CString> m_slotNames;
    bool m_isZeroLatency = false;
    int32_t m_delay = 0;
    // The last design, reused while the values stay the same.
    CAudioFilterParams m_lastParams;
    double m_lastRate = 0;
    bool m_lastFixed = false;
    std::shared_ptr<const CPhaseSplitKernel> m_lastKernel;
    std::vector<double> m_lastTaps;
    bool m_designed = false;
};

class CModFilterFIRDef : public CAudioProcessDefBase {
public:
    std::unique_ptr<CAudioProcessBase> createProcess() const override {
        return std::make_unique<CModFilterFIR>();
    }
};

} // namespace qel
