#pragma once

#include <array>
#include <cstdint>

namespace qel {

// Channels whose input has been exact silence for longer than the signal path remembers anything are
// idle: they are not processed and their output is exact zero (hosts treat that as silence; a
// processed silent channel would carry the anti-denormal noise). The path's memory is its latency
// plus the settling of its recursive filters: after that much silence, all that is left in it is that
// noise, so a channel that wakes continues from what is, within the noise, a clean state.
class CAudioIdleChannels {
public:
    static constexpr int32_t kMaxChannels = 16;

    // Samples of silence after which a channel's output is silence too.
    void setMemory(uint64_t samples) { m_memory = samples; }
    // Every channel awake, no silence counted.
    void reset() { m_silent.fill(0); }

    // Follows the channel's silence through one block; false when the block need not be processed.
    bool takeBlock(int32_t channel, const double* samples, uint32_t length) {
        if (channel < 0 || channel >= kMaxChannels) return true;
        uint32_t trailing = 0;
        while (trailing < length && samples[length - 1 - trailing] == 0.0)
            ++trailing;
        uint64_t& silent = m_silent[size_t(channel)];
        const bool idle = trailing == length && silent >= m_memory;
        silent = trailing == length ? silent + length : trailing;
        return !idle;
    }

private:
    std::array<uint64_t, kMaxChannels> m_silent{};
    uint64_t m_memory = 0;
};

} // namespace qel
