#pragma once

#include <cstdint>

namespace qel {

// The state of one second-order section in direct form II: its last two values w1, w2. A build that
// computes several samples per step keeps a step that a block ended in the middle of, so that every
// sample is computed the same way whatever the block lengths.
struct SBiquadState {
    static constexpr uint32_t kStep = 8;

    double w1 = 0.0;
    double w2 = 0.0;
    // Samples of the step begun (0: none), the values before it and its inputs so far.
    uint32_t stepDone = 0;
    double stepW1 = 0.0;
    double stepW2 = 0.0;
    double stepInput[kStep] = {};
};

} // namespace qel
