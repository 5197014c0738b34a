#include "Audio/Filters/CAudioFilterGenArray.h"
#include "Audio/Filters/CAudioFilterSerialGen.h"
#include "Audio/Filters/FilterGenTree.h"

namespace qel::test {
namespace {

bool sameSections(const CBiquadSectionList& a, const CBiquadSectionList& b) {
    bool same = a.count() == b.count();
    for (int32_t i = 0; same && i < a.count(); ++i)
        same = a[i].b0 == b[i].b0 && a[i].b1 == b[i].b1 && a[i].b2 == b[i].b2 && a[i].a1 == b[i].a1 &&
               a[i].a2 == b[i].a2;
    return same;
}

class FilterCompositionTest : public FilterGenTreeTest {
protected:
    void SetUp() override {
        FilterGenTreeTest::SetUp();
        peak = gen("audio:fltgen-rbj", "peak", {{"type", "6"}});
        hp = gen("audio:fltgen-lphp1", "hp", {{"type", "1"}});
        lp = gen("audio:fltgen-rbj", "lp", {{"type", "0"}});
    }
    static std::pair<const char*, Attrs> serialItem(const Attrs& attrs) {
        return {"audio:fltgen-serial-item", attrs};
    }
    static std::pair<const char*, Attrs> arrayItem(const char* index, const char* fltgen) {
        return {"audio:fltgen-array-item", {{"index", index}, {"fltgen", fltgen}}};
    }

    CAudioFilterGen* peak = nullptr;
    CAudioFilterGen* hp = nullptr;
    CAudioFilterGen* lp = nullptr;
};

TEST_F(FilterCompositionTest, SerialItemsAdjustTheValueSlotsElementByElement) {
    // Elements count from the first value slot ("type" is not one); empty or missing ones are 1.
    auto* chain = gen<CAudioFilterSerialGen>(
        "audio:fltgen-serial", "chain", {},
        {serialItem({{"fltgen", "shared::flt.peak"}, {"adjust", "2,,0.5"}, {"adjust-pow", " , 2"}}),
         serialItem({{"fltgen", "shared::flt.hp"}}),
         serialItem({{"fltgen", "shared::flt.peak"}, {"adjust-pow", "1,0.5"}})});
    const CAudioFilterParams p = values({{"freq", 900.0}, {"gain", 3.0}, {"bw", 1.2}}, 4.0);
    CBiquadSectionList expected;
    peak->generate(values({{"freq", 1800.0}, {"gain", 9.0}, {"bw", 0.6}}), 48000.0, expected);
    hp->generate(p, 48000.0, expected);
    peak->generate(values({{"freq", 900.0}, {"gain", std::pow(3.0, 0.5)}, {"bw", 1.2}}), 48000.0, expected);
    EXPECT_EQ(expected.count(), 3);
    EXPECT_TRUE(sameSections(run(*chain, p, 48000.0), expected));
    EXPECT_EQ(chain->maxSectionCount(), 3);
    EXPECT_EQ(slots(*chain), (std::vector<CString>{"freq", "gain", "bw"}));
}

TEST_F(FilterCompositionTest, ArraySelectsTheItemWhoseIndexIsTheType) {
    auto* choices =
        gen<CAudioFilterGenArray>("audio:fltgen-array", "choices", {},
                                  {arrayItem("3", "shared::flt.hp"), arrayItem("1", "shared::flt.peak"),
                                   arrayItem("3", "shared::flt.lp"), arrayItem("2", "shared::flt.lp")});
    EXPECT_EQ(choices->select(1.0), peak);
    EXPECT_EQ(choices->select(0.6), peak);
    EXPECT_EQ(choices->select(2.0), lp);
    EXPECT_EQ(choices->select(3.0), hp);
    for (double none : {0.0, 7.0, std::nan("")})
        EXPECT_EQ(choices->select(none), nullptr);
    const CAudioFilterParams p = values({{"freq", 500.0}, {"gain", 2.0}, {"bw", 1.0}}, 1.0);
    EXPECT_TRUE(sameSections(run(*choices, p, 44100.0), run(*peak, p, 44100.0)));
    EXPECT_EQ(run(*choices, values({{"freq", 500.0}}, 5.0), 44100.0).count(), 0);
    EXPECT_EQ(slots(*choices), (std::vector<CString>{"freq", "gain", "bw"}));
    EXPECT_EQ(choices->maxSectionCount(), 1);
}

TEST_F(FilterCompositionTest, ItemDefinitionErrors) {
    const char* serial = "audio:fltgen-serial";
    EXPECT_EQ(genError(serial, {}, {serialItem({{"fltgen", "shared::flt.hp"}, {"adjust", "0.5,x"}})}),
              "Invalid 'adjust' value '0.5,x' specified.");
    EXPECT_EQ(genError(serial, {}, {serialItem({{"fltgen", "shared::flt.hp"}, {"adjust-pow", "2;3"}})}),
              "Invalid 'adjust-pow' value '2;3' specified.");
    EXPECT_EQ(genError(serial, {}, {serialItem({{"fltgen", "shared::flt.missing"}})}),
              "Unable to find object 'shared::flt.missing' ('flt.missing')");
    EXPECT_EQ(genError(serial, {}, {serialItem({{"fltgen", "shared::flt.failing"}})}),
              "Filter generator 'shared::flt.failing' contains this item.");
    EXPECT_EQ(genError("audio:fltgen-serial-item", {{"fltgen", "shared::flt.hp"}}),
              "CAudioFilterSerialGen class parent expected.");
    EXPECT_EQ(genError("audio:fltgen-array-item", {{"fltgen", "shared::flt.hp"}}),
              "CAudioFilterGenArray class parent expected.");
    EXPECT_EQ(genError("audio:fltgen-array", {}, {arrayItem("0", "shared::flt")}),
              "Incompatible type of object 'shared::flt' ('flt')");
    EXPECT_EQ(flt->children().size(), 3u);
}

TEST_F(FilterCompositionTest, ParameterValuesKeepTypeApartFromTheValueSlots) {
    CAudioFilterParams p;
    EXPECT_TRUE(p.set("type", 2.0) && p.set("freq", 100.0) && p.set("gain", 2.0) && p.set("freq", 200.0));
    EXPECT_EQ(p.count(), 2);
    EXPECT_EQ(p.type(), 2.0);
    EXPECT_EQ(p.get("type", 0.0), 2.0);
    EXPECT_EQ(p.get("freq", 0.0), 200.0);
    EXPECT_EQ(p.get("bw", 7.0), 7.0);
    for (int i = 2; i < CAudioFilterParams::kMaxSlots; ++i)
        EXPECT_TRUE(p.set(CString::fromInt(i), double(i)));
    EXPECT_FALSE(p.set("one-too-many", 1.0));
}

} // namespace
} // namespace qel::test
