#pragma once

#include <vector>

#include "Audio/DSP/CIIRSectionCascade.h"
#include "Audio/Graph/CAudioProcessDefBase.h"
#include "Audio/Graph/CAudioProcessTerminalBase.h"

namespace qel {

class CAudioFilterGenArray;

// A recursive filter whose sections come from a generator array: slot 0 "index" selects the array
// entry (the generators' "type"), the further slots are the values the generators read. Smooth updates morph
// the section coefficients in place.
class CModFilterIIRModule : public CAudioModule {
public:
    void registerParams() override;
    void updateCoefficients() override;
    SAudioBlock* forward(SAudioBlock* const* inputs, int32_t inputCount) override;
    void process(SAudioBlock* const* inputs, int32_t inputCount, double* out, uint32_t length) override;
    bool morphsOwnUpdates() const override { return true; }
    void reset() override { m_cascade.reset(); }

    const CIIRSectionCascade& cascade() const { return m_cascade; }

private:
    CIIRSectionCascade m_cascade;
    bool m_designed = false;
};

class CModFilterIIR : public CAudioProcessTerminal<CModFilterIIRModule> {
public:
    static constexpr const char* kIndexSlot = "index";

    CError* init(const CAudioProcessDefBase& def, SAudioProcessEnv& env, const CString& name,
                 CAudioProcess* parent, int32_t stackIndex) override;

    // Null when "gen-array" names no generator: the process then passes its input through.
    const CAudioFilterGenArray* generator() const { return m_generator; }
    // Slot 0 is "index"; the rest in the order the generators read them.
    const std::vector<CString>& slotNames() const { return m_slotNames; }

private:
    const CAudioFilterGenArray* m_generator = nullptr;
    std::vector<CString> m_slotNames;
};

class CModFilterIIRDef : public CAudioProcessDefBase {
public:
    std::unique_ptr<CAudioProcessBase> createProcess() const override {
        return std::make_unique<CModFilterIIR>();
    }
};

} // namespace qel
