#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "Audio/ParamFilters/CAudioParamFilter.h"
#include "Audio/ParamFilters/CAudioParamFilterDef.h"
#include "Audio/ParamFilters/CAudioParamRemapDef.h"
#include "Audio/Params/CollectorTree.h"

namespace qel {
namespace {

constexpr int32_t kCommon = CAudioParamStorage::kCommonGroup;

double dB(double decibels) {
    return std::pow(10.0, decibels / 20.0);
}

class CAudioParamFilterTest : public test::CollectorTreeTest {
protected:
    void SetUp() override {
        CollectorTreeTest::SetUp();
        const test::Attrs gain = {{"element-size", "1"},
                                  {"converter", "shared::audio.paramcvt.gain"},
                                  {"min-values", "-24"},
                                  {"max-values", "24"},
                                  {"def-values", "0"}};
        for (const char* name : {"em-gain", "em-gain-inv", "eq-gain", "eq-gain-in"})
            define(name, gain);
        define("oversampling", {{"element-size", "1"},
                                {"converter", "shared::audio.paramcvt.enum"},
                                {"state-names", "Auto;1X;2X;4X;8X"},
                                {"min-values", "0"},
                                {"max-values", "4"},
                                {"def-values", "1"}});
        define("host-oversampling-mode", {{"element-size", "1"},
                                          {"converter", "shared::audio.paramcvt.real"},
                                          {"min-values", "0"},
                                          {"max-values", "2"},
                                          {"def-values", "0"}});
        define("group-solo", {{"element-size", "1"},
                              {"converter", "shared::audio.paramcvt.enum-enable"},
                              {"min-values", "0"},
                              {"max-values", "1"},
                              {"def-values", "0"}});
        define("flag", {{"element-size", "1"},
                        {"converter", "shared::audio.paramcvt.real"},
                        {"min-values", "-1"},
                        {"max-values", "1"},
                        {"def-values", "-1"}});
    }

    // A filter of the given kind between parameters of plugin.modMain, attached.
    std::unique_ptr<CAudioParamFilter> filter(const char* tag, const test::Attrs& attrs,
                                              std::string* error = nullptr) {
        CObject* made = nullptr;
        std::string defError = test::firstLine(make(root, tag, "filter", attrs, made));
        if (error) *error = defError;
        if (!made) return nullptr;
        auto* def = static_cast<CAudioParamFilterDef*>(made);
        std::unique_ptr<CAudioParamFilter> result = def->createFilter();
        auto full = [](const std::vector<CString>& names) {
            std::vector<CString> out;
            for (const CString& n : names)
                out.push_back("plugin.modMain." + n);
            return out;
        };
        std::string initError = test::firstLine(
            result->init(*def, *collector, full(def->sourceNames()), full(def->destinationNames())));
        root->destroyChild(made);
        if (error) *error = initError;
        if (!initError.empty()) return nullptr;
        result->attach();
        return result;
    }
};

TEST_F(CAudioParamFilterTest, InvertMirrorsTheGainAndMultMultiplies) {
    CAudioParam* gain = param("em-gain");
    gain->setValue(kCommon, 0, 0, dB(12));
    auto invert = filter("audio:param-filter-invert", {{"src", "em-gain"}, {"dst", "em-gain-inv"}});
    ASSERT_NE(invert, nullptr);
    EXPECT_NEAR(param("em-gain-inv")->getValue(kCommon, 0, 0), dB(-12), 1e-12) << "right from attaching";
    gain->setValue(2, 0, 0, dB(6));
    EXPECT_NEAR(param("em-gain-inv")->getValue(2, 0, 0), dB(-6), 1e-12);
    EXPECT_NEAR(param("em-gain-inv")->getValue(kCommon, 0, 0), dB(-12), 1e-12) << "other groups untouched";

    auto divide =
        filter("audio:param-filter-invert", {{"src", "eq-gain"}, {"dst", "flag"}, {"is-division", "true"}});
    param("eq-gain")->setValue(kCommon, 0, 0, 4.0);
    EXPECT_DOUBLE_EQ(param("flag")->getValue(kCommon, 0, 0), 0.25);
    divide.reset();

    auto mult = filter("audio:param-filter-mult", {{"src", "em-gain,eq-gain"}, {"dst", "eq-gain-in"}});
    ASSERT_NE(mult, nullptr);
    EXPECT_NEAR(param("eq-gain-in")->getValue(kCommon, 0, 0), dB(12) * 4.0, 1e-12);
    param("eq-gain")->setValue(kCommon, 0, 0, 0.5);
    EXPECT_NEAR(param("eq-gain-in")->getValue(kCommon, 0, 0), dB(12) * 0.5, 1e-12);

    // Detached filters no longer follow their sources.
    invert.reset();
    gain->setValue(kCommon, 0, 0, dB(3));
    EXPECT_NEAR(param("em-gain-inv")->getValue(kCommon, 0, 0), dB(-12), 1e-12);
}

TEST_F(CAudioParamFilterTest, BypassFlagsFollowOversamplingAndGroupSolo) {
    auto os = filter("audio:param-filter-bypass-os",
                     {{"src", "oversampling,host-oversampling-mode"}, {"dst", "flag"}});
    ASSERT_NE(os, nullptr);
    CAudioParam* oversampling = param("oversampling");
    CAudioParam* hostMode = param("host-oversampling-mode");
    auto bypass = [&] { return param("flag")->getValue(kCommon, 0, -1); };
    EXPECT_EQ(bypass(), 1.0) << "1X by default";
    struct {
        double setting, host, expected;
    } table[] = {{2, 0, 0}, {2, 2, 0}, {0, 2, 0}, {0, 0, 1}, {1, 2, 1}, {4, 0, 0}};
    for (const auto& row : table) {
        hostMode->setValue(kCommon, 0, 0, row.host);
        oversampling->setValue(kCommon, 0, 0, row.setting);
        EXPECT_EQ(bypass(), row.expected) << row.setting << " " << row.host;
    }
    os.reset();

    param("flag")->setValue(kCommon, 0, 0, -1);
    auto solo = filter("audio:param-filter-bypass-group-solo", {{"src", "group-solo"}, {"dst", "flag"}});
    auto soloBypass = [&] { return param("flag")->getValue(0, 0, -1); };
    EXPECT_EQ(soloBypass(), 1.0);
    param("group-solo")->setValue(3, 0, 0, 1.0);
    EXPECT_EQ(soloBypass(), 0.0);
    param("group-solo")->setValue(5, 0, 0, 1.0);
    param("group-solo")->setValue(3, 0, 0, 0.0);
    EXPECT_EQ(soloBypass(), 0.0) << "group 5 is still soloed";
    param("group-solo")->setValue(5, 0, 0, 0.0);
    EXPECT_EQ(soloBypass(), 1.0);
}

TEST_F(CAudioParamFilterTest, CountsAndNamesAreChecked) {
    std::string error;
    EXPECT_EQ(filter("audio:param-filter-mult", {{"src", "em-gain"}, {"dst", "flag"}}, &error), nullptr);
    EXPECT_EQ(error, "Not enough source parameters 1 defined in the param filter (required 2).");
    filter("audio:param-filter-mult", {{"src", "a,b,c,d,e,f,g,h,i,j"}, {"dst", "flag"}}, &error);
    EXPECT_EQ(error, "Too many source parameters 10 defined in the param filter.");
    filter("audio:param-filter-invert", {{"src", "a"}, {"dst", "a,b,c,d,e,f,g,h,i,j"}}, &error);
    EXPECT_EQ(error, "Too many destination parameters 10 defined in the param filter.");
    filter("audio:param-filter-invert", {{"src", ",,"}, {"dst", "flag"}}, &error);
    EXPECT_EQ(error, "No source parameters defined.");
    filter("audio:param-filter-invert", {{"src", "em-gain"}}, &error);
    EXPECT_EQ(error, "No destination parameters defined.");
}

TEST_F(CAudioParamFilterTest, RemapDefinitionsReadPairsFromAttributesAndText) {
    CObject* made = nullptr;
    ASSERT_EQ(make(root, "audio:param-remap", "remap", {{"orig", "mode"}, {"new", "^oversampling"}}, made),
              nullptr);
    CObject* content = nullptr;
    ASSERT_EQ(make(made, "content", "content",
                   {{"value", "modKoren.mode = mode; modKoren.voltage = voltage; modEQ.gain = eq-gain-in;"}},
                   content),
              nullptr);
    ASSERT_EQ(made->initComplete(), nullptr);
    auto& remaps = static_cast<CAudioParamRemapDef*>(made)->remaps();
    ASSERT_EQ(remaps.size(), 4u);
    EXPECT_EQ(remaps[0], std::make_pair(CString("mode"), CString("^oversampling")));
    EXPECT_EQ(remaps[3], std::make_pair(CString("modEQ.gain"), CString("eq-gain-in")));

    ASSERT_EQ(make(made, "content", "content", {{"value", "a=b c=d"}}, content), nullptr);
    ASSERT_EQ(made->initComplete(), nullptr);
    EXPECT_EQ(remaps.size(), 6u) << "without ';' pairs are separated by spaces";

    ASSERT_EQ(make(made, "content", "content", {{"value", "a=b=c"}}, content), nullptr);
    EXPECT_EQ(test::firstLine(made->initComplete()), "Invalid remapping string 'a=b=c' defined.");
    EXPECT_EQ(test::firstLine(make(root, "audio:param-remap", "empty", {}, made)), "No remappings defined.");
}

} // namespace
} // namespace qel
