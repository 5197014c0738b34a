#include "CDemoPassage.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace qel {

namespace {

constexpr double kTempo = 128;
constexpr double kBeat = 60 / kTempo;
constexpr int kBars = 4;
constexpr double kTail = 0.5;
constexpr double kGap = 0.25;
constexpr double kToneSeconds = 1.0;
constexpr double kToneFrequency = 1000;
constexpr double kPeak = 0.5; // -6 dBFS

constexpr double kBassHarmonics[] = {1, 0.5, 0.33, 0.25, 0.2, 0.17, 0.14, 0.12, 0.11, 0.1};
constexpr double kChordHarmonics[] = {1, 0.45, 0.2, 0.1};

// Am, F, C, G: chord voicings and bass roots as MIDI notes.
constexpr int kChords[kBars][3] = {{57, 60, 64}, {53, 57, 60}, {55, 60, 64}, {55, 59, 62}};
constexpr int kRoots[kBars] = {45, 41, 48, 43};
constexpr int kBassPattern[8] = {0, 0, 12, 0, 7, 0, 12, 7};

double noteFrequency(int midiNote) {
    return 440 * std::pow(2.0, (midiNote - 69) / 12.0);
}

size_t toFrame(double seconds, double rate) {
    return size_t(std::llround(seconds * rate));
}

} // namespace

void CDemoPassage::addNote(SAudioData& stereo, double start, double length, int midiNote, const SVoice& voice,
                           double gain, double pan) {
    const double rate = stereo.rate;
    const double frequency = noteFrequency(midiNote);
    const double angle = (pan + 1) * std::numbers::pi / 4;
    const double left = gain * std::cos(angle), right = gain * std::sin(angle);
    const double attack = 0.004, release = 0.015;
    size_t first = toFrame(start, rate);
    size_t count = std::min(toFrame(length, rate), stereo.frames() - std::min(first, stereo.frames()));
    for (size_t i = 0; i < count; ++i) {
        double t = double(i) / rate;
        double sample = 0;
        for (int h = 0; h < voice.harmonicCount; ++h) {
            double partial = frequency * (h + 1);
            if (partial >= rate / 2) break;
            double decay = voice.decay + voice.decayPerHarmonic * h;
            sample +=
                voice.harmonics[h] * std::exp(-decay * t) * std::sin(2 * std::numbers::pi * partial * t);
        }
        // Short ramps at both ends keep the notes free of clicks.
        double envelope = std::min({1.0, t / attack, (length - t) / release});
        stereo.channels[0][first + i] += left * envelope * sample;
        stereo.channels[1][first + i] += right * envelope * sample;
    }
}

void CDemoPassage::addKick(SAudioData& stereo, double start) {
    const double rate = stereo.rate;
    size_t first = toFrame(start, rate);
    size_t count = std::min(toFrame(0.3, rate), stereo.frames() - std::min(first, stereo.frames()));
    double phase = 0;
    for (size_t i = 0; i < count; ++i) {
        double t = double(i) / rate;
        double frequency = 45 + 75 * std::exp(-t * 25);
        phase += 2 * std::numbers::pi * frequency / rate;
        double sample = 0.8 * std::exp(-t * 12) * std::min(1.0, t / 0.002) * std::sin(phase);
        stereo.channels[0][first + i] += sample;
        stereo.channels[1][first + i] += sample;
    }
}

SSignal CDemoPassage::render(double rate, int32_t channels) {
    const double passage = kBars * 4 * kBeat + kTail;
    const double toneStart = passage + kGap;
    SAudioData stereo;
    stereo.rate = rate;
    stereo.channels.assign(2, std::vector<double>(toFrame(toneStart + kToneSeconds, rate), 0.0));

    const SVoice bass{kBassHarmonics, int(std::size(kBassHarmonics)), 3, 2.5};
    const SVoice keys{kChordHarmonics, int(std::size(kChordHarmonics)), 2.5, 1.5};
    for (int bar = 0; bar < kBars; ++bar) {
        double barStart = bar * 4 * kBeat;
        for (int step = 0; step < 8; ++step)
            addNote(stereo, barStart + step * kBeat / 2, kBeat / 2, kRoots[bar] + kBassPattern[step], bass,
                    0.5, 0);
        for (int beat = 0; beat < 4; ++beat) {
            // Stabs on every beat, the last of the piece held longer.
            double length = bar == kBars - 1 && beat == 3 ? kBeat + kTail : kBeat;
            for (int voice = 0; voice < 3; ++voice)
                addNote(stereo, barStart + beat * kBeat, length, kChords[bar][voice], keys, 0.22,
                        0.6 * (voice - 1));
            if (beat % 2 == 0) addKick(stereo, barStart + beat * kBeat);
        }
    }

    size_t toneFirst = toFrame(toneStart, rate);
    double peak = 0;
    for (const auto& channel : stereo.channels)
        for (size_t i = 0; i < toneFirst; ++i)
            peak = std::max(peak, std::abs(channel[i]));
    for (auto& channel : stereo.channels) {
        for (size_t i = 0; i < toneFirst; ++i)
            channel[i] *= kPeak / peak;
        for (size_t i = toneFirst; i < channel.size(); ++i)
            channel[i] =
                kPeak * std::sin(2 * std::numbers::pi * kToneFrequency * double(i - toneFirst) / rate);
    }

    SSignal signal;
    signal.audio.rate = rate;
    for (int32_t c = 0; c < channels; ++c) {
        if (channels == 1) {
            std::vector<double> mono(stereo.frames());
            for (size_t i = 0; i < mono.size(); ++i)
                mono[i] = 0.5 * (stereo.channels[0][i] + stereo.channels[1][i]);
            signal.audio.channels.push_back(std::move(mono));
        } else {
            signal.audio.channels.push_back(stereo.channels[size_t(c % 2)]);
        }
    }
    signal.description = "demo passage (4 bars, 128 BPM) + 1 kHz -6 dBFS tone";
    signal.tone = STestTone{kToneFrequency, toneFirst, stereo.frames()};
    return signal;
}

} // namespace qel
