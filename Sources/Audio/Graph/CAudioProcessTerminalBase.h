#pragma once

#include <memory>
#include <vector>

#include "Audio/DSP/SHalfCosineFade.h"
#include "Audio/Graph/CAudioModule.h"
#include "Audio/Graph/CAudioProcessBase.h"
#include "Audio/Params/CAudioParamWatch.h"

namespace qel {

// A process that computes: one module per channel runs the kernel on the channel's blocks. Parameter
// slots are shared by the modules; a change updates the modules of the channels it concerns, with
// "is-smooth-update" by cross-fading from the old module to a new one.
class CAudioProcessTerminalBase : public CAudioProcessBase {
public:
    CError* prepare(const SAudioFormat& format) override;
    void reset() override;
    void applyParamUpdates() override;
    void process() override;
    virtual std::unique_ptr<CAudioModule> createModule() = 0;

    // Binds slot index to the parameter named relative to this process; false when the parameter
    // has no definition (the slot then reads its unattached value).
    bool registerSlot(int32_t index, const CString& name);
    // Binds slots 0, 1, ... to the names, skipping those a module registered already.
    void registerSlots(const std::vector<CString>& names);
    // Whether a module of this process registered the slot already (attached or not).
    bool isSlotRegistered(int32_t index) const {
        return index >= 0 && index < int32_t(m_slots.size()) && m_slots[size_t(index)];
    }
    double slotValue(int32_t index, int32_t channel, double unattached) const;
    CAudioModule* module(int32_t channel) const;
    // Input ports the modules read.
    void setModuleInputs(int32_t count) { m_moduleInputs = count; }
    // For modules that look at the slots of every channel: any change updates them all.
    void setUpdatesAllChannels(bool all) { m_updatesAllChannels = all; }
    bool isFading(int32_t channel) const;
    // The cross-fade of smooth updates in samples at the current rate.
    uint32_t xfadeSamples() const { return m_xfadeSamples; }

private:
    // A smooth update fades into the channel's spare module, made when preparing, and the module faded
    // out becomes the spare: no module is made or freed while audio runs.
    struct SFade {
        std::unique_ptr<CAudioModule> next;
        std::unique_ptr<CAudioModule> spare;
        uint32_t remaining = 0;
        SHalfCosineFade weight;
    };

    CError* makeModule(int32_t channel, std::unique_ptr<CAudioModule>& made);
    void render(CAudioModule& module, SAudioBlock* const* inputs, double* out, uint32_t length);
    void startFade(int32_t channel);
    void endFade(int32_t channel);

    std::vector<std::unique_ptr<CAudioParamWatch>> m_slots;
    std::vector<std::unique_ptr<CAudioModule>> m_modules;
    std::vector<SFade> m_fades;
    std::vector<SAudioBlock*> m_gathered;
    int32_t m_moduleInputs = 1;
    bool m_updatesAllChannels = false;
    uint32_t m_xfadeSamples = 1;
};

// A terminal process whose workers are modules of class M.
template <class M>
class CAudioProcessTerminal : public CAudioProcessTerminalBase {
public:
    std::unique_ptr<CAudioModule> createModule() override { return std::make_unique<M>(); }
};

} // namespace qel
