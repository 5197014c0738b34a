#include "Audio/DSP/CDSPModDelay.h"

#include <algorithm>
#include <cmath>

namespace qel {

void CDSPModDelay::prepare(uint32_t maxDelay, uint32_t xfadeLength) {
    m_size = size_t(maxDelay) + 1;
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
    // Steady: the read position follows the write position, both wrapping without a division.
    size_t writePos = m_write;
    size_t readPos = (writePos + m_size - m_current) % m_size;
    for (; i < count; ++i) {
        m_buffer[writePos] = in[i];
        out[i] = m_buffer[readPos];
        if (++writePos == m_size) writePos = 0;
        if (++readPos == m_size) readPos = 0;
    }
    m_write = writePos;
}

} // namespace qel
