#include "Audio/DSP/CDenormNoise.h"

#include <atomic>

namespace qel {

namespace {

std::atomic<uint32_t> g_seedCounter{0};

} // namespace

CDenormNoise::CDenormNoise() : m_seed(g_seedCounter.fetch_add(1) & 0x7fffffffu) {}

} // namespace qel
