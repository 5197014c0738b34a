#include <gtest/gtest.h>

#include <cmath>
#include <set>

#include "Audio/Graph/CAudioProcessStack.h"
#include "Audio/Graph/CAudioProcessTerminalBase.h"
#include "Audio/Graph/GraphTree.h"
#include "Audio/Processes/CModBypass.h"
#include "Audio/Processes/CModGain.h"
#include "Core/CCreatorRegistry.h"
#include "Support/LogCapture.h"

namespace qel {
namespace {

// Delays its input by three samples and says so.
class CTestDelayModule : public CAudioModule {
public:
    void process(SAudioBlock* const* inputs, int32_t, double* out, uint32_t length) override {
        for (uint32_t i = 0; i < length; ++i) {
            out[i] = m_line[0];
            m_line[0] = m_line[1];
            m_line[1] = m_line[2];
            m_line[2] = inputs[0] ? inputs[0]->samples()[i] : 0.0;
        }
    }

private:
    double m_line[3] = {};
};
class CTestDelay : public CAudioProcessTerminal<CTestDelayModule> {
public:
    int64_t ownDelay() const override { return 3; }
};
class CTestDelayDef : public CAudioProcessDefBase {
public:
    std::unique_ptr<CAudioProcessBase> createProcess() const override {
        return std::make_unique<CTestDelay>();
    }
};

class CAudioProcessTest : public test::GraphTreeTest {
protected:
    void SetUp() override {
        GraphTreeTest::SetUp();
        ASSERT_EQ(CCreatorRegistry::registerCreator(
                      {"test:delay", qelCreate<CTestDelayDef>, CClassRecord::initObject}),
                  nullptr);
    }
    std::string initError(CObject* def) {
        CAudioProcess process;
        return test::firstLine(
            process.init(*static_cast<CAudioProcessDefBase*>(def), env, "plugin.x", nullptr, 0));
    }
};

TEST_F(CAudioProcessTest, AutoLinksChainTheChildrenAndUnityGainCopiesNothing) {
    CObject* def = add(audio, "audio:process-def", "chain", {{"is-auto-links", "true"}});
    add(def, "audio:modNode", "in");
    CObject* gain = add(def, "audio:modGain", "gain");
    defineSlot(gain, "gain", "0.5");
    add(def, "audio:modNode", "side", {{"is-outoforder", "true"}});
    add(def, "audio:modPhaseInv", "flip");
    build(def, 2);
    EXPECT_EQ(graph->sequence().size(), 4u);
    EXPECT_EQ(run({1, 2, 3}), (std::vector<double>{0.5, 1, 1.5})) << "phase inverter off: passed on";

    set("plugin.chain.gain.gain", 1.0);
    SAudioBlock* in = block({1, 2, 3});
    CAudioParamChangeList changes;
    collector->takePending(changes);
    changes.applyToAudio();
    graph->applyParamUpdates();
    CAudioBlockPool::addRef(in);
    graph->receive(0, 0, in);
    graph->run();
    output->run();
    EXPECT_EQ(output->block(0), in) << "unity gain hands the very block on";
    EXPECT_EQ(output->block(1), nullptr) << "nothing was fed to channel 1";
    CAudioBlockPool::release(in);
}

TEST_F(CAudioProcessTest, LinksPortsCombiningFanOutAndCycles) {
    // Two links into one port: x and 3x combined by the port's mode.
    const std::vector<std::pair<const char*, std::vector<double>>> modes = {
        {"sum", {4, -8}}, {"avg", {2, -4}}, {"max", {3, -2}}};
    for (const auto& [mode, expected] : modes) {
        CObject* def = add(audio, "audio:process-def", mode);
        add(def, "audio:modNode", "a");
        CObject* triple = add(def, "audio:modGain", "triple");
        defineSlot(triple, "gain", "3");
        add(def, "audio:modNode", "m", {{"input-combo-mode", mode}});
        for (auto [src, dst] : std::vector<std::pair<const char*, const char*>>{
                 {"*", "a"}, {"a", "triple"}, {"a", "m"}, {"triple", "m"}, {"m", "*"}})
            add(def, "audio:process-link", (std::string(src) + "-" + dst).c_str(),
                {{"src", src}, {"dst", dst}});
        build(def);
        EXPECT_EQ(run({1, -2}), expected) << mode;
    }
    CObject* def = audio->findObject(".sum");

    // Errors of the link definitions and of the names they use.
    CObject* made = nullptr;
    EXPECT_EQ(test::firstLine(make(def, "audio:process-link", "bad", {{"src", "a/x"}, {"dst", "b"}}, made)),
              "Invalid port in the 'src' attribute value 'a/x' specified.");
    EXPECT_EQ(test::firstLine(make(def, "audio:process-link", "bad", {{"src", "a"}, {"dst", "b/-1"}}, made)),
              "Invalid port in the 'dst' attribute value 'b/-1' specified.");
    EXPECT_EQ(test::firstLine(make(def, "audio:process-link", "bad", {{"dst", "b"}}, made)),
              "No 'src' attribute defined.");
    EXPECT_EQ(test::firstLine(make(def, "audio:process-link", "bad", {{"src", "/1"}, {"dst", "b"}}, made)),
              "Invalid process in the 'src' attribute value '/1' specified.");
    EXPECT_EQ(test::firstLine(make(def, "audio:process-link", "bad",
                                   {{"src", "a"}, {"dst", "b"}, {"state-id", "3 x"}}, made)),
              "Invalid state identifier 'x' specified.");
    add(def, "audio:process-link", "ghost", {{"src", "a"}, {"dst", "nowhere/1"}});
    EXPECT_EQ(initError(def), "Invalid process in the 'dst' attribute value 'nowhere/1' specified.");
    def->destroyChild(def->findObject(".ghost"));

    // Sibling definitions cannot share a name, but a container can still be asked to add a second
    // process of a name it has.
    CAudioProcess process;
    ASSERT_EQ(process.init(*static_cast<CAudioProcessDefBase*>(def), env, "plugin.sum", nullptr, 0), nullptr);
    EXPECT_EQ(test::firstLine(process.addProcess(*static_cast<CAudioProcessDefBase*>(def->findObject(".a")))),
              "Duplicate audio process name 'a'.");

    CObject* bands = add(audio, "audio:process-def", "bands");
    add(bands, "audio:modNode", "split", {{"is-multiband", "true"}});
    EXPECT_EQ(initError(bands), "Multiband processing is not supported (process 'split').");

    // A cycle is logged and its part does not run; the rest does.
    CObject* loop = add(audio, "audio:process-def", "loop");
    add(loop, "audio:modNode", "p");
    add(loop, "audio:modNode", "q");
    add(loop, "audio:process-link", "1", {{"src", "p"}, {"dst", "q"}});
    add(loop, "audio:process-link", "2", {{"src", "q"}, {"dst", "p"}});
    test::LogCapture log;
    build(loop);
    EXPECT_TRUE(graph->sequence().empty());
    ASSERT_FALSE(log.lines.empty());
    EXPECT_EQ(log.lines.back(), "process seq err // plugin.loop");
    EXPECT_TRUE(run({1}).empty());
}

TEST_F(CAudioProcessTest, BypassStatesSwitchProcessesAndLinks) {
    CObject* def = add(audio, "audio:process-def", "switch", {{"is-auto-links", "true"}});
    defineSlot(def, "os-bypass", "1", "0", "1");
    add(def, "audio:process-bypass-state", "s33", {{"id", "33"}, {"param", "os-bypass"}, {"value", "1"}});
    add(def, "audio:process-bypass-state", "s34",
        {{"id", "34"}, {"param", "os-bypass"}, {"value", "1"}, {"is-inverted", "true"}});
    CObject* gain = add(def, "audio:modGain", "gain", {{"bypass-state-id", "33"}});
    defineSlot(gain, "gain", "3");
    add(def, "audio:modNode", "tap", {{"is-outoforder", "true"}});
    add(def, "audio:process-link", "extra", {{"src", "*"}, {"dst", "tap"}});
    add(def, "audio:process-link", "feed", {{"src", "tap"}, {"dst", "*"}, {"bypass-state-id", "34"}});
    build(def);
    EXPECT_TRUE(graph->isStateActive(33));
    EXPECT_EQ(run({1, 2}), (std::vector<double>{2, 4})) << "gain bypassed, the tap adds the dry signal";
    set("plugin.switch.os-bypass", 0);
    EXPECT_EQ(run({1, 2}), (std::vector<double>{3, 6})) << "gain runs; the tap link carries nothing";
    EXPECT_FALSE(graph->isStateActive(33));

    CObject* made = nullptr;
    EXPECT_EQ(
        test::firstLine(make(def, "audio:process-bypass-state", "bad", {{"id", "1"}, {"value", "1"}}, made)),
        "Invalid parameter name specified.");
    EXPECT_EQ(test::firstLine(
                  make(def, "audio:process-bypass-state", "bad", {{"param", "x"}, {"range", "a:b"}}, made)),
              "Invalid 'range' attribute value 'a:b' specified.");
    EXPECT_EQ(test::firstLine(
                  make(def, "audio:process-bypass-state", "bad",
                       {{"param", "x"}, {"range", "0:1 3"}, {"and-param", "y"}, {"and-range", ""}}, made)),
              "Invalid 'and-range' attribute value '' specified.");
}

TEST_F(CAudioProcessTest, InputsOnFasterPathsWaitForTheSlowerOnes) {
    CObject* def = add(audio, "audio:process-def", "align");
    add(def, "test:delay", "slow");
    add(def, "audio:modNode", "fast");
    // The bypass switch outputs its second input: the fast path, which must wait for the slow one.
    CObject* meet = add(def, "audio:modBypass", "meet");
    defineSlot(meet, "enable", "1", "0", "1");
    for (auto [src, dst] : std::vector<std::pair<const char*, const char*>>{
             {"*", "slow"}, {"*", "fast"}, {"slow", "meet"}, {"fast", "meet/1"}, {"meet", "*"}})
        add(def, "audio:process-link", (std::string(src) + "-" + dst).c_str(), {{"src", src}, {"dst", dst}});
    build(def, 1, 8);
    EXPECT_EQ(graph->ownDelay(), 3);
    EXPECT_EQ(graph->outputLatency(10), 13);
    EXPECT_EQ(graph->child("meet")->inputDelay(0), 0u);
    EXPECT_EQ(graph->child("meet")->inputDelay(1), 3u);
    std::vector<double> impulse(8, 0.0);
    impulse[0] = 1.0;
    EXPECT_EQ(run(impulse), (std::vector<double>{0, 0, 0, 1, 0, 0, 0, 0}));
}

TEST_F(CAudioProcessTest, StacksRepeatAProcessPerElement) {
    CObject* def = add(audio, "audio:process-def", "stacked", {{"is-auto-links", "true"}});
    defineSlot(def, "count", "3", "1", "8");
    CObject* gain = add(def, "audio:modGain", "gain", {{"is-stacked", "true"}, {"stack-param", "^count"}});
    add(gain, "audio:param", "gain",
        {{"element-size", "1"},
         {"converter", "shared::audio.paramcvt.real"},
         {"min-values", "-100"},
         {"max-values", "100"},
         {"def-values", "2,3,5,7"}});
    build(def);
    auto* stack = dynamic_cast<CAudioProcessStack*>(graph->child("gain"));
    ASSERT_NE(stack, nullptr);
    EXPECT_EQ(stack->copyCount(), 3);
    EXPECT_EQ(run({1}), (std::vector<double>{30})) << "2 x 3 x 5";
    set("plugin.stacked.count", 4);
    EXPECT_EQ(run({1}), (std::vector<double>{210}));
    set("plugin.stacked.count", 1);
    EXPECT_EQ(run({1}), (std::vector<double>{2}));
}

TEST_F(CAudioProcessTest, SmoothUpdatesCrossFadeToANewModuleAndParameterNamesFollowRenames) {
    CObject* def = add(audio, "audio:process-def", "smooth", {{"is-auto-links", "true"}});
    defineSlot(def, "level", "1");
    // The gain's slot is renamed to the container's parameter by the container's script.
    def->setAttr("script", "gain.gain = level;", false);
    ASSERT_EQ(def->init(), nullptr);
    add(def, "audio:modGain", "gain", {{"is-smooth-update", "true"}, {"xfade-length", "0.0001"}});
    build(def, 1, 8);
    EXPECT_EQ(graph->child("gain")->resolveParamName("gain"), "plugin.smooth.level");
    EXPECT_EQ(graph->child("gain")->resolveParamName("^x"), "plugin.smooth.x");
    EXPECT_EQ(CAudioProcessBase::resolveRelative("plugin.a.b", "^^c"), "plugin.c");
    EXPECT_EQ(run(std::vector<double>(8, 1.0)), std::vector<double>(8, 1.0));

    set("plugin.smooth.level", 0.0);
    std::vector<double> out = run(std::vector<double>(8, 1.0));
    // 0.0001 s at 44.1 kHz is 4 samples: 1, 0.85, 0.5, 0.15, then the new value.
    const double c = std::cos(M_PI / 4);
    std::vector<double> expected = {1.0, 0.5 + 0.5 * c, 0.5, 0.5 - 0.5 * c, 0, 0, 0, 0};
    ASSERT_EQ(out.size(), expected.size());
    for (size_t i = 0; i < out.size(); ++i)
        EXPECT_NEAR(out[i], expected[i], 1e-12) << i;
}

} // namespace
} // namespace qel
