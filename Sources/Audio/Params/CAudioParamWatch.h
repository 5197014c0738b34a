#pragma once

#include <cstdint>

#include "Audio/Params/CAudioParam.h"
#include "Audio/Params/CAudioParamInfo.h"

namespace qel {

// A process's interest in one parameter: the audio side raises a flag and group bits on every change,
// which the process takes at its next update. Unsubscribes when it goes.
class CAudioParamWatch {
public:
    CAudioParamWatch() = default;
    CAudioParamWatch(const CAudioParamWatch&) = delete;
    CAudioParamWatch& operator=(const CAudioParamWatch&) = delete;
    ~CAudioParamWatch() {
        if (m_param) m_param->unsubscribe(&m_changed);
    }

    // Watches the parameter when it has a definition; false (watching nothing) otherwise.
    bool attach(CAudioParam* param) {
        if (!param || !param->info()) return false;
        m_param = param;
        param->subscribe({-1, -1, &m_changed, &m_groupMask});
        return true;
    }
    CAudioParam* param() const { return m_param; }

    // The audio-side value; unattached without a parameter.
    double value(int32_t group, int32_t index, double unattached) const {
        return m_param ? m_param->audioValues().getValue(group, index, unattached) : unattached;
    }
    int32_t elementSize() const { return m_param ? m_param->info()->elementSize : 1; }

    // Whether the parameter changed since the last call; the changed groups' bits are added to groupMask.
    bool takeChange(uint32_t& groupMask) {
        if (!m_changed) return false;
        groupMask |= m_groupMask;
        m_changed = false;
        m_groupMask = 0;
        return true;
    }

private:
    CAudioParam* m_param = nullptr;
    bool m_changed = false;
    uint32_t m_groupMask = 0;
};

} // namespace qel
