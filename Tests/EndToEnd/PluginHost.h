#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "VstHost/CVstPluginHost.h"

namespace qel::test {

// The built plug-in, loaded fresh for every test the way a host loads it.
class PluginTest : public ::testing::Test {
protected:
    // Host answers must be set before loading: the plug-in asks during its entry.
    void load() {
        ASSERT_TRUE(host.load(EMBERLINE_PLUGIN_PATH)) << host.error();
        host.open();
    }
    void start(double rate, int32_t block = 512) {
        host.setSampleRate(rate);
        host.setBlockSize(block);
        host.mainsChanged(true);
    }
    int32_t paramIndex(const std::string& name) {
        for (int32_t i = 0; i < host.numParams(); ++i)
            if (host.paramName(i) == name) return i;
        ADD_FAILURE() << "no parameter " << name;
        return -1;
    }
    // The plug-in's own conversion of a display text to a normalised value.
    float normalizedOf(const std::string& name, const std::string& text) {
        char buffer[64] = {};
        text.copy(buffer, sizeof buffer - 1);
        EXPECT_EQ(host.vendorSpecific(27, paramIndex(name), buffer, 0), 0xBEEF);
        return std::stof(buffer);
    }
    void set(const std::string& name, const std::string& text) {
        host.setParameter(paramIndex(name), normalizedOf(name, text));
    }

    // Runs channels of input through the plug-in in blocks of the given size.
    std::vector<std::vector<float>> render(const std::vector<std::vector<float>>& input, int32_t block) {
        const int32_t channels = host.numInputs();
        const size_t frames = input.empty() ? 0 : input[0].size();
        std::vector<std::vector<float>> output(size_t(host.numOutputs()), std::vector<float>(frames));
        std::vector<float*> in(static_cast<size_t>(channels));
        std::vector<float*> out(output.size());
        for (size_t t = 0; t < frames; t += size_t(block)) {
            const auto length = int32_t(std::min(frames - t, size_t(block)));
            for (int32_t c = 0; c < channels; ++c)
                in[size_t(c)] = const_cast<float*>(input[size_t(c) % input.size()].data()) + t;
            for (size_t c = 0; c < output.size(); ++c)
                out[c] = output[c].data() + t;
            host.processFloat(in.data(), out.data(), length);
        }
        return output;
    }

    CVstPluginHost host;
};

inline std::vector<float> sine(double frequency, double amplitude, double rate, size_t frames) {
    std::vector<float> samples(frames);
    for (size_t i = 0; i < frames; ++i)
        samples[i] = float(amplitude * std::sin(2 * M_PI * frequency * double(i) / rate));
    return samples;
}

} // namespace qel::test
