#include <gtest/gtest.h>

#include <cmath>

#include "Audio/Graph/GraphTree.h"
#include "Audio/Processes/CModFilterIIR.h"
#include "Support/LogCapture.h"

namespace qel {
namespace {

class CModFilterIIRTest : public test::GraphTreeTest {
protected:
    // A generator array with a pass-through entry 0 and a high shelf entry 1.
    void SetUp() override {
        GraphTreeTest::SetUp();
        CObject* flt = add(audio, "core:object", "flt");
        add(flt, "audio:fltgen-bypass", "bypass");
        add(flt, "audio:fltgen-rbj", "hs", {{"type", "8"}});
        CObject* array = add(flt, "audio:fltgen-array", "arr");
        add(array, "audio:fltgen-array-item", "item",
            {{"index", "0"}, {"fltgen", "shared::audio.flt.bypass"}});
        add(array, "audio:fltgen-array-item", "item#1", {{"index", "1"}, {"fltgen", "shared::audio.flt.hs"}});
        ASSERT_EQ(array->initComplete(), nullptr); // items made after the array, unlike loaded data
    }
};

TEST_F(CModFilterIIRTest, SectionsFollowTheSlotsAndGainChangesMorphWithoutAStep) {
    CObject* def = add(audio, "audio:process-def", "f", {{"is-auto-links", "true"}});
    CObject* iir = add(
        def, "audio:modFilterIIR", "iir",
        {{"gen-array", "shared::audio.flt.arr"}, {"is-smooth-update", "true"}, {"xfade-length", "0.001"}});
    defineSlot(iir, "index", "1", "0", "1");
    defineSlot(iir, "freq", "2000", "20", "21000");
    defineSlot(iir, "gain", "1", "0", "16");
    defineSlot(iir, "bw", "1", "0.01", "7");
    build(def, 1, 64);
    auto* process = static_cast<CModFilterIIR*>(graph->child("iir"));
    EXPECT_EQ(process->slotNames(), (std::vector<CString>{"index", "freq", "gain", "bw"}));

    // A shelf at unity gain changes nothing.
    std::vector<double> alternating(64);
    for (size_t i = 0; i < alternating.size(); ++i)
        alternating[i] = i % 2 ? -1.0 : 1.0;
    std::vector<double> out = run(alternating);
    for (size_t i = 0; i < out.size(); ++i)
        EXPECT_NEAR(out[i], alternating[i], 1e-12);

    // +12 dB at the top of the spectrum, reached through a cross-fade that starts where the signal was.
    set("plugin.f.iir.gain", 4.0);
    out = run(alternating);
    EXPECT_NEAR(out[0], 1.0, 1e-9);
    EXPECT_LT(std::fabs(out[2]), 1.5) << "still mostly the old filter";
    for (int block = 0; block < 20; ++block)
        out = run(alternating);
    EXPECT_NEAR(std::fabs(out.back()), 4.0, 1e-3);

    // Entry 0 is a pass-through again.
    set("plugin.f.iir.index", 0.0);
    for (int block = 0; block < 20; ++block)
        out = run(alternating);
    EXPECT_NEAR(out.back(), alternating.back(), 1e-9);
}

TEST_F(CModFilterIIRTest, AMissingGeneratorIsLoggedAndPassesThrough) {
    CObject* def = add(audio, "audio:process-def", "g", {{"is-auto-links", "true"}});
    add(def, "audio:modFilterIIR", "iir", {{"gen-array", "shared::audio.flt.none"}});
    test::LogCapture log;
    build(def);
    ASSERT_FALSE(log.lines.empty());
    EXPECT_EQ(log.lines[0], "The 'gen-array' 'shared::audio.flt.none' not found. // plugin.g.iir");
    EXPECT_EQ(run({1, 2, 3}), (std::vector<double>{1, 2, 3}));
}

} // namespace
} // namespace qel
