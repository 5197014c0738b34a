#include "Audio/DSP/CDSPModDelay.h"

#include <algorithm>
#include <cmath>

namespace qel {

void CDSPModDelay::prepare(uint32_t maxDelay, uint32_t xfadeLength) {
    // Room beyond the longest delay, so that steady runs are long even at that delay.
    m_maxDelay = maxDelay;
    m_size = size_t(maxDelay) + 1 + kRunRoom;
    m_buffer.assign(m_size, 0.0);
    m_xfadeLength = std::max<uint32_t>(xfadeLength, 1);
    m_current = m_target = std::min(m_target, maxDelay);
    m_fadeRemaining = 0;
    m_write = 0;
}

void CDSPModDelay::reset() {
    std::fill(m_buffer.begin(), m_buffer.end(), 0.0);
    m_current = m_target;
    m_fadeRemaining = 0;
}

void CDSPModDelay::setDelay(uint32_t delay) {
    m_target = std::min<uint32_t>(delay, maxDelay());
    if (!m_fadeRemaining && m_target != m_current) startFade();
}

void CDSPModDelay::jumpTo(uint32_t delay) {
    m_current = m_target = std::min<uint32_t>(delay, maxDelay());
    m_fadeRemaining = 0;
}

void CDSPModDelay::startFade() {
    m_fadeFrom = m_current;
    m_current = m_target;
    m_fadeRemaining = m_xfadeLength;
    m_fade.start(m_xfadeLength);
}

double CDSPModDelay::read(uint32_t delay) const {
    return m_buffer[(m_write + m_size - delay) % m_size];
}

void CDSPModDelay::process(const double* in, double* out, uint32_t count) {
    if (!m_size) {
        if (out != in) std::copy(in, in + count, out);
        return;
    }
    uint32_t i = 0;
    for (; i < count && m_fadeRemaining; ++i) {
        m_buffer[m_write] = in[i];
        const double oldWeight = m_fade.oldWeight();
        out[i] = oldWeight * read(m_fadeFrom) + (1.0 - oldWeight) * read(m_current);
        m_fade.advance();
        if (--m_fadeRemaining == 0 && m_target != m_current) startFade();
        m_write = (m_write + 1) % m_size;
    }
    // Steady: copies in runs. A run of at most m_size - delay samples never overwrites a sample it still
    // has to read, so each run is written whole and then read whole, each in at most two pieces of the ring.
    const size_t delay = m_current;
    while (i < count) {
        const size_t run = std::min(size_t(count - i), m_size - delay);
        copyIntoRing(in + i, run);
        copyOutOfRing((m_write + m_size - delay - run) % m_size, out + i, run);
        i += uint32_t(run);
    }
}

void CDSPModDelay::copyIntoRing(const double* in, size_t n) {
    const size_t first = std::min(n, m_size - m_write);
    std::copy_n(in, first, m_buffer.data() + m_write);
    std::copy_n(in + first, n - first, m_buffer.data());
    m_write = (m_write + n) % m_size;
}

void CDSPModDelay::copyOutOfRing(size_t from, double* out, size_t n) const {
    const size_t first = std::min(n, m_size - from);
    std::copy_n(m_buffer.data() + from, first, out);
    std::copy_n(m_buffer.data(), n - first, out + first);
}

} // namespace qel
