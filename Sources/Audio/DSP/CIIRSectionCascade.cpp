#include "Audio/DSP/CIIRSectionCascade.h"

#include <algorithm>
#include <cmath>

namespace qel {

int32_t CIIRSectionCascade::copyPadded(const CBiquadSectionList& sections, SectionArray& to) {
    std::copy(sections.begin(), sections.end(), to.begin());
    std::fill(to.begin() + sections.count(), to.end(), SBiquadSection::identity());
    return sections.count();
}

void CIIRSectionCascade::activate(int32_t count, double y1, double y2) {
    for (int32_t s = m_activeCount; s < count; ++s)
        m_state[size_t(s)] = {y1, y2};
    m_activeCount = count;
}

void CIIRSectionCascade::setSections(const CBiquadSectionList& sections) {
    m_fadeRemaining = 0;
    m_hasPending = false;
    m_count = m_targetCount = copyPadded(sections, m_current);
    // A step begun with the old coefficients ends here; w1 and w2 are always current.
    for (SState& state : m_state)
        state.stepDone = 0;
    // Sections that stay keep their state; dropped ones are revived from the output history later.
    m_activeCount = std::min(m_activeCount, m_count);
    activate(m_count, m_y1, m_y2);
}

void CIIRSectionCascade::morphTo(const CBiquadSectionList& sections, int32_t length) {
    length = std::max(length, int32_t(1));
    if (isFading()) {
        m_pending = sections;
        m_pendingLength = length;
        m_hasPending = true;
        return;
    }
    startFade(sections, length, m_y1, m_y2);
}

void CIIRSectionCascade::startFade(const CBiquadSectionList& sections, int32_t length, double y1, double y2) {
    m_targetCount = copyPadded(sections, m_target);
    activate(std::max(m_count, m_targetCount), y1, y2);
    std::copy(m_state.begin(), m_state.begin() + m_activeCount, m_oldState.begin());
    m_oscillator.start(uint32_t(length));
    m_fadeRemaining = length;
}

void CIIRSectionCascade::endFade(double y1, double y2) {
    m_current = m_target;
    m_count = m_targetCount;
    m_activeCount = m_count;
    if (m_hasPending) {
        m_hasPending = false;
        startFade(m_pending, m_pendingLength, y1, y2);
    }
}

void CIIRSectionCascade::reset() {
    if (isFading()) {
        if (m_hasPending) {
            m_hasPending = false;
            m_targetCount = copyPadded(m_pending, m_target);
        }
        m_fadeRemaining = 0;
        m_current = m_target;
        m_count = m_targetCount;
    }
    m_state.fill(SState{});
    m_activeCount = m_count;
    m_y1 = m_y2 = 0.0;
}

void CIIRSectionCascade::historyAt(const double* out, int32_t pos, double& y1, double& y2) const {
    y1 = pos >= 1 ? out[pos - 1] : m_y1;
    y2 = pos >= 2 ? out[pos - 2] : (pos == 1 ? m_y1 : m_y2);
}

void CIIRSectionCascade::process(const double* in, double* out, int32_t count) {
    if (count <= 0) return;
    int32_t done = 0;
    while (done < count) {
        if (isFading()) {
            const int32_t n = std::min(m_fadeRemaining, count - done);
            runFade(in + done, out + done, n);
            m_fadeRemaining -= n;
            done += n;
            if (!isFading()) {
                double y1, y2;
                historyAt(out, done, y1, y2);
                endFade(y1, y2);
            }
        } else {
            runSteady(in + done, out + done, count - done);
            done = count;
        }
    }
    historyAt(out, count, m_y1, m_y2);
}

void CIIRSectionCascade::runSteady(const double* in, double* out, int32_t count) {
    if (m_count == 0) {
        if (in != out) std::copy(in, in + count, out);
        return;
    }
    for (int32_t s = 0; s < m_count; ++s)
        m_kernels->biquadProcess(m_current[size_t(s)], m_state[size_t(s)], s == 0 ? in : out, out,
                                 size_t(count));
}

void CIIRSectionCascade::runFade(const double* in, double* out, int32_t count) {
    if (m_activeCount == 0 && in != out) std::copy(in, in + count, out);
    // Section by section over the block; each replays the same oscillator run.
    SHalfCosineFade oscillator = m_oscillator;
    for (int32_t s = 0; s < m_activeCount; ++s) {
        const SBiquadSection from = m_current[size_t(s)];
        const SBiquadSection to = m_target[size_t(s)];
        SState& state = m_state[size_t(s)];
        SState& oldState = m_oldState[size_t(s)];
        // Sample by sample from here: a step begun by the steady loop is over.
        state.stepDone = 0;
        const double* src = s == 0 ? in : out;
        oscillator = m_oscillator;
        for (int32_t i = 0; i < count; ++i) {
            const double u = oscillator.e + 0.5;
            const double v = 0.5 - oscillator.e;
            const SBiquadSection mixed = {u * from.b0 + v * to.b0, u * from.b1 + v * to.b1,
                                          u * from.b2 + v * to.b2, u * from.a1 + v * to.a1,
                                          u * from.a2 + v * to.a2};
            const double x = src[i];
            const double yOld = tick(from, oldState, x);
            const double yMix = tick(mixed, state, x);
            out[i] = u * yOld + v * yMix;
            oscillator.advance();
        }
    }
    if (m_activeCount == 0)
        for (int32_t i = 0; i < count; ++i)
            oscillator.advance();
    m_oscillator = oscillator;
}

} // namespace qel
