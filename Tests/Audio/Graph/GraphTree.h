#pragma once

#include <memory>
#include <vector>

#include "Audio/Graph/CAudioProcess.h"
#include "Audio/Graph/CAudioProcessDefBase.h"
#include "Audio/Params/CAudioParam.h"
#include "Audio/Params/CAudioParamCollector.h"
#include "Audio/Params/ParamTree.h"
#include "Audio/Processes/CModOutput.h"

namespace qel::test {

// Graph definitions under "shared::audio", run as "plugin.<name>" by an instance with a collector
// and a registry that resolves "plugin..." to the definitions.
class GraphTreeTest : public ParamTreeTest {
protected:
    void SetUp() override {
        ParamTreeTest::SetUp();
        audio = CObject::sharedObject()->findObject("audio");
        CObject* made = nullptr;
        ASSERT_EQ(make(root, "audio:audio-env", "audio-env", {}, made), nullptr);
        ASSERT_EQ(make(root, "audio:param-collector", "param-collector", {{"env", "^audio-env"}}, made),
                  nullptr);
        collector = static_cast<CAudioParamCollector*>(made);
        ASSERT_EQ(make(root, "audio:param-registry", "param-registry",
                       {{"hierarchy", "plugin"},
                        {"def-name-remap", "plugin=audio"},
                        {"param-collector", "^param-collector"}},
                       made),
                  nullptr);
        ASSERT_EQ(make(audio, "audio:modOutput", "out", {}, made), nullptr);
        env.collector = collector;
        env.pool = &pool;
    }
    void TearDown() override {
        output.reset();
        graph.reset();
        ParamTreeTest::TearDown();
    }

    CObject* add(CObject* parent, const char* tag, const char* name, const Attrs& attrs = {}) {
        CObject* made = nullptr;
        EXPECT_EQ(firstLine(make(parent, tag, name, attrs, made)), "") << name;
        return made;
    }
    // A float parameter definition of a process, read through its slot.
    void defineSlot(CObject* process, const char* name, const char* defaults, const char* low = "-100",
                    const char* high = "100") {
        add(process, "audio:param", name,
            {{"element-size", "1"},
             {"converter", "shared::audio.paramcvt.real"},
             {"min-values", low},
             {"max-values", high},
             {"def-values", defaults}});
    }

    // Builds and prepares the graph of a container definition, feeding an output collector.
    void build(CObject* def, int32_t channels = 1, uint32_t blockLength = 16) {
        graph = std::make_unique<CAudioProcess>();
        ASSERT_EQ(firstLine(graph->init(*static_cast<CAudioProcessDefBase*>(def), env,
                                        "plugin." + def->name(), nullptr, 0)),
                  "");
        auto* outDef = static_cast<CAudioProcessDefBase*>(audio->findObject(".out"));
        output.reset(static_cast<CModOutput*>(outDef->createProcess().release()));
        ASSERT_EQ(output->init(*outDef, env, "plugin.out", nullptr, 0), nullptr);
        graph->addDestination(0, output.get(), 0);
        format = {44100.0, blockLength, channels};
        ASSERT_EQ(graph->prepare(format), nullptr);
        ASSERT_EQ(output->prepare(graph->outputFormat(format)), nullptr);
    }

    SAudioBlock* block(const std::vector<double>& samples) {
        SAudioBlock* made = pool.take(uint32_t(samples.size()));
        std::copy(samples.begin(), samples.end(), made->samples());
        return made;
    }
    // One block through the graph: parameter changes reach the audio side first, as in the host.
    std::vector<double> run(const std::vector<double>& samples, int32_t channel = 0, int32_t port = 0) {
        CAudioParamChangeList changes;
        collector->takePending(changes);
        changes.applyToAudio();
        graph->applyParamUpdates();
        for (int32_t c = 0; c < format.channelCount; ++c)
            graph->receive(port, c, block(samples));
        graph->run();
        output->run();
        const SAudioBlock* out = output->block(channel);
        return out ? std::vector<double>(out->samples(), out->samples() + out->length)
                   : std::vector<double>();
    }
    void set(const char* param, double value, int32_t group = CAudioParamStorage::kCommonGroup) {
        collector->getParam(param)->setValue(group, 0, 0, value);
    }

    CObject* audio = nullptr;
    CAudioParamCollector* collector = nullptr;
    CAudioBlockPool pool;
    SAudioProcessEnv env;
    SAudioFormat format;
    std::unique_ptr<CAudioProcess> graph;
    std::unique_ptr<CModOutput> output;
};

} // namespace qel::test
