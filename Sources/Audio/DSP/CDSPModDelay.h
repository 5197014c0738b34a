#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "Audio/DSP/SHalfCosineFade.h"
#include "Core/CCheckedObject.h"

namespace qel {

// A delay line of whole samples. A change of the delay cross-fades from the old to the new read
// position along a half cosine; a further change during a cross-fade waits for it to end.
class CDSPModDelay : public CCheckedObject {
public:
    // Room for delays up to maxDelay samples; drops the contents.
    void prepare(uint32_t maxDelay, uint32_t xfadeLength);
    void setDelay(uint32_t delay);
    // Takes the delay at once, without a cross-fade (before audio flows).
    void jumpTo(uint32_t delay);
    uint32_t delay() const { return m_target; }
    uint32_t maxDelay() const { return m_maxDelay; }
    void reset();

    // In place allowed.
    void process(const double* in, double* out, uint32_t count);

private:
    static constexpr size_t kRunRoom = 512;

    void startFade();
    double read(uint32_t delay) const;
    // n samples into the ring at the write position, which moves on.
    void copyIntoRing(const double* in, size_t n);
    void copyOutOfRing(size_t from, double* out, size_t n) const;

    std::vector<double> m_buffer;
    size_t m_size = 0;
    uint32_t m_maxDelay = 0;
    size_t m_write = 0;
    uint32_t m_current = 0;
    uint32_t m_target = 0;
    uint32_t m_fadeFrom = 0;
    uint32_t m_xfadeLength = 1;
    uint32_t m_fadeRemaining = 0;
    SHalfCosineFade m_fade; // weight of the old read position
};

} // namespace qel
