#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace qel {

// Deinterleaved audio at one rate.
struct SAudioData {
    double rate = 48000;
    std::vector<std::vector<double>> channels;

    size_t frames() const { return channels.empty() ? 0 : channels[0].size(); }
};

// A steady sine inside a signal, in frames of the signal, that the report analyses.
struct STestTone {
    double frequency = 0;
    size_t start = 0;
    size_t end = 0;
};

struct SSignal {
    SAudioData audio;
    std::string description;
    std::optional<STestTone> tone;
};

} // namespace qel
