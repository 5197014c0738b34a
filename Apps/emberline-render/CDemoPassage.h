#pragma once

#include <cstdint>

#include "SAudioData.h"

namespace qel {

// The built-in demo: four bars of a plucked bass line, chord stabs and a kick (about 8 s, peaking at
// -6 dBFS), then a 1 kHz -6 dBFS test tone whose harmonics the report measures. Deterministic.
class CDemoPassage {
public:
    static SSignal render(double rate, int32_t channels);

private:
    struct SVoice {
        const double* harmonics;
        int harmonicCount;
        double decay;            // per second, of the fundamental
        double decayPerHarmonic; // added per harmonic number: higher partials die first
    };

    static void addNote(SAudioData& stereo, double start, double length, int midiNote, const SVoice& voice,
                        double gain, double pan);
    static void addKick(SAudioData& stereo, double start);
};

} // namespace qel
