#include <gtest/gtest.h>

#include <cmath>

#include "Audio/ProductInstance.h"

namespace qel {
namespace {

// The product's 8x up- and down-sampling stages on their own, as a sub-graph of the main path's
// definitions that follows the "oversampling" setting.
class ProductResamplingTest : public test::ProductInstanceTest {
protected:
    void buildChain(double rate) {
        CObject* modMain = root->findObject("shared::audio.modMain");
        CObject* chain = nullptr;
        ASSERT_EQ(modMain->addChild("audio:process-def", "chainTest", false, chain), nullptr);
        const char* script = "mode = ^^oversampling; host-mode = ^^host-oversampling-mode;";
        ASSERT_EQ(chain->setAttr("is-auto-links", "true", false), nullptr);
        CObject* part = nullptr;
        for (const char* name : {"up", "mid", "down"}) {
            ASSERT_EQ(chain->addChild(name == std::string("mid") ? "audio:modNode" : "audio:modResampler",
                                      name, false, part),
                      nullptr);
            if (name != std::string("mid")) {
                ASSERT_EQ(part->setAttr("script", script, false), nullptr);
            }
            if (name == std::string("up")) {
                ASSERT_EQ(part->setAttr("is-upsampler", "true", false), nullptr);
            }
            ASSERT_EQ(part->init(), nullptr);
        }
        ASSERT_EQ(chain->init(), nullptr);
        build(*static_cast<CAudioProcessDefBase*>(chain), "plugin.modMain.chainTest", rate, 1);
        collector->getParam("plugin.modMain.oversampling")->setValue(0, 0, 0, 4.0);
        applyChanges();
        modMain->destroyChild(chain);
    }
};

// Amplitude of the tone in out (fitted by least squares) and what remains besides it.
void fitTone(const std::vector<double>& out, size_t from, double cycles, double& amplitude,
             double& residual) {
    double cc = 0, ss = 0, cs = 0, yc = 0, ys = 0;
    for (size_t t = from; t < out.size(); ++t) {
        const double c = std::cos(2 * M_PI * cycles * double(t)), s = std::sin(2 * M_PI * cycles * double(t));
        cc += c * c, ss += s * s, cs += c * s, yc += out[t] * c, ys += out[t] * s;
    }
    const double det = cc * ss - cs * cs;
    const double a = (yc * ss - ys * cs) / det, b = (ys * cc - yc * cs) / det;
    amplitude = std::hypot(a, b);
    double power = 0;
    for (size_t t = from; t < out.size(); ++t) {
        const double e = out[t] - a * std::cos(2 * M_PI * cycles * double(t)) -
                         b * std::sin(2 * M_PI * cycles * double(t));
        power += e * e;
    }
    residual = std::sqrt(power / double(out.size() - from));
}

TEST_F(ProductResamplingTest, EightTimesUpAndDownIsFlatAndClean) {
    for (double rate : {44100.0, 48000.0}) {
        SCOPED_TRACE(rate);
        buildChain(rate);
        EXPECT_EQ(graph->ownDelay(), 713);
        for (double frequency : {20.0, 1000.0, 10000.0, 19000.0, 20000.0}) {
            std::vector<double> in(16384);
            for (size_t t = 0; t < in.size(); ++t)
                in[t] = std::sin(2 * M_PI * frequency / rate * double(t));
            graph->reset();
            const std::vector<double> out = runMono(in);
            double amplitude = 0, residual = 0;
            fitTone(out, 4096, frequency / rate, amplitude, residual);
            EXPECT_NEAR(20 * std::log10(amplitude), 0.0, 0.1) << frequency;
            EXPECT_LT(20 * std::log10(residual), -110.0) << "images and aliases of " << frequency;
        }
    }
}

} // namespace
} // namespace qel
