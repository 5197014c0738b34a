#pragma once

#include <cstdint>

#include "Audio/Graph/CAudioBlockPool.h"
#include "Core/CError.h"

namespace qel {

class CAudioProcessTerminalBase;

// The per-channel worker of a terminal process.
class CAudioModule : public CCheckedObject {
public:
    virtual CError* init(CAudioProcessTerminalBase& terminal, int32_t channel);
    virtual void prepare(double sampleRate, uint32_t maxBlockLength);
    // Forgets the signal so far (filter states); coefficients stay.
    virtual void reset() {}
    // Recomputes what the module derives from its parameter slots.
    virtual void updateCoefficients() {}
    // Called once after creation: looks the parameter slots up by index.
    virtual void registerParams() {}

    // The kernel: length samples into out from the input blocks (null for a port without input).
    virtual void process(SAudioBlock* const* inputs, int32_t inputCount, double* out, uint32_t length) = 0;
    // A module that leaves its input untouched hands a block on by reference (a new reference)
    // instead of computing; null means compute.
    virtual SAudioBlock* forward(SAudioBlock* const* inputs, int32_t inputCount);
    // Smooth updates are morphed inside the module rather than cross-faded to a new module.
    virtual bool morphsOwnUpdates() const { return false; }

    int32_t channel() const { return m_channel; }

protected:
    // The value of a parameter slot for this module's channel, or unattached when the slot has no
    // parameter.
    double slot(int32_t index, double unattached) const;

    CAudioProcessTerminalBase* m_terminal = nullptr;
    int32_t m_channel = 0;
    double m_sampleRate = 44100.0;
};

} // namespace qel
