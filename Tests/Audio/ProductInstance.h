#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "Audio/CAudioParamCollector.h"
#include "Audio/CAudioProcess.h"
#include "Audio/CAudioProcessDefBase.h"
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

    void build(double rate, int32_t channels) {
        CAudioProcessDefBase* mainDef = nullptr;
        CAudioProcessDefBase* outDef = nullptr;
        ASSERT_EQ(root->findObjectChecked("shared::audio.modMain", mainDef), nullptr);
        ASSERT_EQ(root->findObjectChecked("shared::audio.modOutput", outDef), nullptr);
        output.reset();
        graph = std::make_unique<CAudioProcess>();
        ASSERT_EQ(firstLine(graph->init(*mainDef, env, "plugin.modMain", nullptr, 0)), "");
        output.reset(static_cast<CModOutput*>(outDef->createProcess().release()));
        ASSERT_EQ(output->init(*outDef, env, "plugin.modOutput", nullptr, 0), nullptr);
        graph->addDestination(0, output.get(), 0);
        const SAudioFormat format{rate, 512, channels};
        ASSERT_EQ(graph->prepare(format), nullptr);
        ASSERT_EQ(output->prepare(format), nullptr);
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
