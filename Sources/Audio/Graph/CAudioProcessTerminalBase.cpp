#include "Audio/Graph/CAudioProcessTerminalBase.h"

#include <algorithm>
#include <cmath>

#include "Audio/Graph/CAudioProcessDefBase.h"
#include "Audio/Params/CAudioParam.h"
#include "Audio/Params/CAudioParamCollector.h"
#include "Audio/Params/CAudioParamInfo.h"

namespace qel {

bool CAudioProcessTerminalBase::registerSlot(int32_t index, const CString& name) {
    if (index < 0) return false;
    if (int32_t(m_slots.size()) <= index) m_slots.resize(size_t(index) + 1);
    std::unique_ptr<CAudioParamWatch>& slot = m_slots[size_t(index)];
    if (slot) return slot->param() != nullptr;
    slot = std::make_unique<CAudioParamWatch>();
    return slot->attach(m_env->collector->getParam(resolveParamName(name)));
}

void CAudioProcessTerminalBase::registerSlots(const std::vector<CString>& names) {
    for (int32_t index = 0; index < int32_t(names.size()); ++index)
        if (!isSlotRegistered(index)) registerSlot(index, names[size_t(index)]);
}

double CAudioProcessTerminalBase::slotValue(int32_t index, int32_t channel, double unattached) const {
    if (index < 0 || index >= int32_t(m_slots.size()) || !m_slots[size_t(index)]) return unattached;
    const CAudioParamWatch& slot = *m_slots[size_t(index)];
    const int32_t stack = m_stackIndex + (m_def ? m_def->stackIndexShift() : 0);
    return slot.value(m_env->groupOf(channel), stack * slot.elementSize(), unattached);
}

CAudioModule* CAudioProcessTerminalBase::module(int32_t channel) const {
    return channel >= 0 && channel < int32_t(m_modules.size()) ? m_modules[size_t(channel)].get() : nullptr;
}

bool CAudioProcessTerminalBase::isFading(int32_t channel) const {
    return channel >= 0 && channel < int32_t(m_fades.size()) && m_fades[size_t(channel)].remaining > 0;
}

CError* CAudioProcessTerminalBase::makeModule(int32_t channel, std::unique_ptr<CAudioModule>& made) {
    made = createModule();
    QEL_CHECK(made->init(*this, channel));
    made->registerParams();
    made->prepare(m_format.sampleRate, m_format.maxBlockLength);
    made->updateCoefficients();
    return nullptr;
}

CError* CAudioProcessTerminalBase::prepare(const SAudioFormat& format) {
    ensurePorts(m_moduleInputs, 1);
    QEL_CHECK(CAudioProcessBase::prepare(format));
    const size_t channels = size_t(std::max(format.channelCount, 0));
    m_modules.resize(channels);
    m_fades.resize(channels);
    const bool smooth = m_def && m_def->isSmoothUpdate();
    for (size_t c = 0; c < channels; ++c) {
        m_fades[c] = SFade();
        QEL_CHECK(makeModule(int32_t(c), m_modules[c]));
        if (smooth && !m_modules[c]->morphsOwnUpdates()) QEL_CHECK(makeModule(int32_t(c), m_fades[c].spare));
    }
    m_gathered.assign(size_t(std::max(m_moduleInputs, 1)), nullptr);
    const double seconds = m_def ? m_def->xfadeLength() : 0.0001;
    m_xfadeSamples = std::max<uint32_t>(uint32_t(std::lround(seconds * format.sampleRate)), 1);
    return nullptr;
}

void CAudioProcessTerminalBase::reset() {
    CAudioProcessBase::reset();
    // A cross-fade under way ends at once on the new module.
    for (size_t c = 0; c < m_fades.size(); ++c)
        if (m_fades[c].remaining) endFade(int32_t(c));
    for (auto& module : m_modules)
        module->reset();
}

void CAudioProcessTerminalBase::startFade(int32_t channel) {
    SFade& fade = m_fades[size_t(channel)];
    if (fade.remaining) {
        // Already on the way to a new module: that one takes the newest values.
        fade.next->updateCoefficients();
        return;
    }
    if (!fade.spare) return;
    fade.next = std::move(fade.spare);
    fade.next->reset();
    fade.next->updateCoefficients();
    fade.remaining = m_xfadeSamples;
    fade.weight.start(m_xfadeSamples);
}

void CAudioProcessTerminalBase::endFade(int32_t channel) {
    SFade& fade = m_fades[size_t(channel)];
    fade.spare = std::move(m_modules[size_t(channel)]);
    m_modules[size_t(channel)] = std::move(fade.next);
    fade.remaining = 0;
}

void CAudioProcessTerminalBase::applyParamUpdates() {
    uint32_t mask = 0;
    bool changed = false;
    for (auto& slot : m_slots)
        if (slot && slot->takeChange(mask)) changed = true;
    if (!changed) return;
    const bool smooth = m_def && m_def->isSmoothUpdate();
    for (int32_t c = 0; c < int32_t(m_modules.size()); ++c) {
        if (!m_updatesAllChannels && !(mask & (1u << (uint32_t(m_env->groupOf(c)) % 32)))) continue;
        CAudioModule& module = *m_modules[size_t(c)];
        if (smooth && !module.morphsOwnUpdates())
            startFade(c);
        else
            module.updateCoefficients();
    }
}

void CAudioProcessTerminalBase::render(CAudioModule& module, SAudioBlock* const* inputs, double* out,
                                       uint32_t length) {
    if (SAudioBlock* same = module.forward(inputs, m_moduleInputs)) {
        std::copy(same->samples(), same->samples() + std::min(length, same->length), out);
        CAudioBlockPool::release(same);
        return;
    }
    module.process(inputs, m_moduleInputs, out, length);
}

void CAudioProcessTerminalBase::process() {
    for (int32_t c = 0; c < int32_t(m_modules.size()); ++c) {
        for (int32_t p = 0; p < m_moduleInputs; ++p)
            m_gathered[size_t(p)] = gather(p, c);
        // A channel that nothing reached produces nothing.
        const uint32_t length = m_gathered[0] ? m_gathered[0]->length : 0;
        CAudioModule& module = *m_modules[size_t(c)];
        SFade& fade = m_fades[size_t(c)];
        if (length) {
            if (!fade.remaining) {
                SAudioBlock* out = module.forward(m_gathered.data(), m_moduleInputs);
                if (!out) {
                    out = m_env->pool->take(length);
                    module.process(m_gathered.data(), m_moduleInputs, out->samples(), length);
                }
                deliver(0, c, out);
            } else {
                // Old module fading out, new one fading in, along a half cosine.
                SAudioBlock* out = m_env->pool->take(length);
                SAudioBlock* next = m_env->pool->take(length);
                render(module, m_gathered.data(), out->samples(), length);
                render(*fade.next, m_gathered.data(), next->samples(), length);
                fade.weight.mix(out->samples(), next->samples(), length, fade.remaining);
                CAudioBlockPool::release(next);
                if (!fade.remaining) endFade(c);
                deliver(0, c, out);
            }
        }
        for (SAudioBlock*& block : m_gathered) {
            CAudioBlockPool::release(block);
            block = nullptr;
        }
    }
    releaseInputs();
}

} // namespace qel
