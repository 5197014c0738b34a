#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>

namespace qel {

class CAudioParam;

// Parameter values the audio thread learns (offline state, tempo, a latency change) but must not set
// itself: setting takes parameter locks. It posts them here without waiting; another thread sets them.
// One posting thread at a time; takers are serialised among themselves.
class CAudioParamPostQueue {
public:
    struct SPost {
        CAudioParam* param = nullptr;
        double value = 0;
    };
    static constexpr size_t kCapacity = 64;

    // False when full: the oldest unsent values are kept, since each later post of the same
    // parameter would follow them anyway.
    bool post(CAudioParam* param, double value) {
        const size_t tail = m_tail.load(std::memory_order_relaxed);
        if (tail - m_head.load(std::memory_order_acquire) >= kCapacity) return false;
        m_posts[tail % kCapacity] = {param, value};
        m_tail.store(tail + 1, std::memory_order_release);
        return true;
    }

    // Calls set(param, value) for every post in order.
    template <class F>
    void takeAll(F&& set) {
        std::lock_guard<std::mutex> guard(m_takers);
        size_t head = m_head.load(std::memory_order_relaxed);
        for (const size_t tail = m_tail.load(std::memory_order_acquire); head != tail; ++head) {
            const SPost post = m_posts[head % kCapacity];
            m_head.store(head + 1, std::memory_order_release);
            set(post.param, post.value);
        }
    }

private:
    std::array<SPost, kCapacity> m_posts{};
    std::atomic<size_t> m_head{0};
    std::atomic<size_t> m_tail{0};
    std::mutex m_takers;
};

} // namespace qel
