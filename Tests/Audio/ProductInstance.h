#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "Audio/Graph/CAudioProcess.h"
#include "Audio/Graph/CAudioProcessDefBase.h"
#include "Audio/Params/CAudioParamCollector.h"
#include "Audio/Processes/CModOutput.h"
#include "Audio/ProductStartup.h"
#include "Core/CApplication.h"
#include "ResourceEmbedder/EmbeddedResources.h"
#include "Support/ErrorText.h"

namespace qel::test {

// One plug-in instance of the product data and its signal path ("shared::audio.modMain" feeding
// "shared::audio.modOutput"), run the way the host side runs it.
class ProductInstanceTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(qelProductStartup(g_embeddedResources), nullptr);
        ASSERT_EQ(CApplication::initRootObject(CString(), root), nullptr);
        CObject* plugin = nullptr;
        ASSERT_EQ(firstLine(root->createChild("plugin", "plugin", true, nullptr, plugin)), "");
        ASSERT_EQ(root->findObjectChecked("plugin.param-collector", collector), nullptr);
        env.collector = collector;
        env.pool = &pool;
    }
    void TearDown() override {
        output.reset();
        graph.reset();
        CApplication::releaseRootObject(root);
        CApplication::shutdown();
    }

    // The product's main path.
    void build(double rate, int32_t channels) {
        CAudioProcessDefBase* mainDef = nullptr;
        ASSERT_EQ(root->findObjectChecked("shared::audio.modMain", mainDef), nullptr);
        build(*mainDef, "plugin.modMain", rate, channels);
    }
    // Any container definition, run under the given name, feeding the product's output.
    void build(const CAudioProcessDefBase& def, const CString& name, double rate, int32_t channels) {
        CAudioProcessDefBase* outDef = nullptr;
        ASSERT_EQ(root->findObjectChecked("shared::audio.modOutput", outDef), nullptr);
        output.reset();
        graph = std::make_unique<CAudioProcess>();
        ASSERT_EQ(firstLine(graph->init(def, env, name, nullptr, 0)), "");
        output.reset(static_cast<CModOutput*>(outDef->createProcess().release()));
        ASSERT_EQ(output->init(*outDef, env, "plugin.modOutput", nullptr, 0), nullptr);
        graph->addDestination(0, output.get(), 0);
        const SAudioFormat format{rate, 512, channels};
        ASSERT_EQ(graph->prepare(format), nullptr);
        ASSERT_EQ(output->prepare(format), nullptr);
    }
    // A mono signal through the graph in blocks of up to 512 samples.
    std::vector<double> runMono(const std::vector<double>& in) {
        std::vector<double> out;
        for (size_t t = 0; t < in.size(); t += 512) {
            const uint32_t length = uint32_t(std::min<size_t>(512, in.size() - t));
            SAudioBlock* block = pool.take(length);
            std::copy(in.begin() + long(t), in.begin() + long(t + length), block->samples());
            graph->receive(0, 0, block);
            graph->run();
            output->run();
            const SAudioBlock* result = output->block(0);
            out.insert(out.end(), result->samples(), result->samples() + result->length);
        }
        return out;
    }
    // Parameter changes reach the audio side and the processes, as at the start of a host block.
    void applyChanges() {
        collector->takePending(m_changes);
        m_changes.applyToAudio();
        graph->applyParamUpdates();
    }

    CObject* root = nullptr;
    CAudioParamCollector* collector = nullptr;
    CAudioBlockPool pool;
    SAudioProcessEnv env;
    std::unique_ptr<CAudioProcess> graph;
    std::unique_ptr<CModOutput> output;

private:
    CAudioParamChangeList m_changes;
};

} // namespace qel::test
