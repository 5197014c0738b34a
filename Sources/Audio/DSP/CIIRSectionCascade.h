#pragma once

#include <array>
#include <cstdint>

#include "Audio/DSP/CBiquadSectionList.h"
#include "Audio/DSP/CCpuDispatch.h"
#include "Audio/DSP/SBiquadState.h"
#include "Audio/DSP/SHalfCosineFade.h"

namespace qel {

// One channel of a cascade of second-order sections in direct form II, state kept across blocks, with
// coefficient changes applied by a raised-cosine cross-fade.
//
// Section counts: while a cross-fade runs, the cascade runs as many sections as the larger of the old and
// the new design, the smaller one padded with pass-through sections (b0 = 1, all else 0). A section that
// becomes active starts with w1, w2 set to the cascade's last two outputs: the state it would have had
// had it been running as a pass-through section at the end of the cascade, so growing is seamless.
// At most kMaxSections sections; the storage is inline, so nothing here ever allocates.
class CIIRSectionCascade {
public:
    static constexpr int32_t kMaxSections = CBiquadSectionList::kCapacity;

    using SState = SBiquadState;

    explicit CIIRSectionCascade(const SDspKernels& kernels = CCpuDispatch::kernels()) : m_kernels(&kernels) {}

    // Replaces the coefficients at once (a module's first design), dropping any cross-fade in progress
    // and any pending set. The state is kept.
    void setSections(const CBiquadSectionList& sections);
    // Moves to new coefficients over length samples (at least 1). During a cross-fade the set becomes the
    // pending one, replacing an earlier pending set, and starts when the current cross-fade ends.
    void morphTo(const CBiquadSectionList& sections, int32_t length);
    // Clears the state; a cross-fade in progress ends at once on its final (or pending) coefficients.
    void reset();

    // Filters count samples; in and out may be the same buffer.
    void process(const double* in, double* out, int32_t count);

    // The current design (the old one while a cross-fade runs).
    int32_t sectionCount() const { return m_count; }
    const SBiquadSection& section(int32_t index) const { return m_current[size_t(index)]; }
    bool isFading() const { return m_fadeRemaining > 0; }
    bool hasPending() const { return m_hasPending; }

    // The direct-form-II recurrence of one section for one sample, as the generic block loop runs it; the
    // AVX2 build computes the same recursion eight samples per step. The w2 term comes first: only the w1
    // term waits for the previous sample.
    [[gnu::always_inline]] static inline double tick(const SBiquadSection& c, SState& s, double x) {
        const double w = x + (-c.a2) * s.w2 + (-c.a1) * s.w1;
        const double y = c.b0 * w + c.b1 * s.w1 + c.b2 * s.w2;
        s.w2 = s.w1;
        s.w1 = w;
        return y;
    }

private:
    using SectionArray = std::array<SBiquadSection, kMaxSections>;

    static int32_t copyPadded(const CBiquadSectionList& sections, SectionArray& to);
    // Gives sections [m_activeCount, count) the state of a pass-through section at the cascade's end.
    void activate(int32_t count, double y1, double y2);
    void startFade(const CBiquadSectionList& sections, int32_t length, double y1, double y2);
    void endFade(double y1, double y2);
    void runSteady(const double* in, double* out, int32_t count);
    void runFade(const double* in, double* out, int32_t count);
    // The last two outputs before position pos of out, continuing from the previous blocks.
    void historyAt(const double* out, int32_t pos, double& y1, double& y2) const;

    const SDspKernels* m_kernels;
    SectionArray m_current;
    SectionArray m_target;
    std::array<SState, kMaxSections> m_state;
    std::array<SState, kMaxSections> m_oldState;
    int32_t m_count = 0;
    int32_t m_targetCount = 0;
    // Sections whose state is live: m_count, or the larger count while fading.
    int32_t m_activeCount = 0;
    int32_t m_fadeRemaining = 0;
    SHalfCosineFade m_oscillator;
    CBiquadSectionList m_pending;
    int32_t m_pendingLength = 1;
    bool m_hasPending = false;
    // The cascade's last two outputs.
    double m_y1 = 0.0;
    double m_y2 = 0.0;
};

} // namespace qel
