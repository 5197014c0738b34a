#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <string>
#include <vector>

#include "Audio/Converters/CAudioParamConverter.h"
#include "Audio/Params/CAudioParam.h"
#include "Audio/Params/CAudioParamCollector.h"
#include "Audio/Params/CAudioParamDef.h"
#include "Audio/Params/CAudioParamRegistry.h"
#include "Audio/ProductStartup.h"
#include "Core/CApplication.h"
#include "Core/CObject.h"
#include "ResourceEmbedder/EmbeddedResources.h"
#include "Support/ErrorText.h"
#include "Support/LogCapture.h"
#include "UI/CAppDataLocal.h"

namespace qel {
namespace {

using Form = CAudioParamConverter::Form;

// How a parameter travels: in presets, with the host state only, nowhere but global, or not at all.
enum Kind { Storable, Persistent, Global, Plain };
// Group: each channel group may hold values of its own; Elements: more than one element.
enum Shape { Single = 0, Group = 1, Elements = 2, GroupElements = 3 };

struct SParam {
    const char* name;
    const char* visualName;
    const char* converter;
    int32_t dataType;
    Kind kind;
    Shape shape;
    // The range in display units as the user sees it at both ends of a control; NAN for text data.
    double low, high;
    std::vector<const char*> defaults;
};

constexpr double kNone = NAN;
constexpr int32_t F = CAudioParamInfo::Float;
constexpr int32_t S = CAudioParamInfo::String;
constexpr int32_t R = CAudioParamInfo::Raw;

// clang-format off
const std::vector<SParam> kParams = {
    {"plugin.param-enable-viz", "Visualisation enable", "enum-enable", F, Global, Single, 0, 1, {"On"}},
    {"plugin.modMain.bypass-enable", "Bypass", "enum-enable", F, Persistent, Single, 0, 1, {"Off"}},
    {"plugin.modMain.oversampling", "Oversampling", "enum", F, Storable, Single, 0, 4, {"1X"}},
    {"plugin.modMain.main-window-size", "Main window size", "enum", F, Persistent, Elements,
        100, 8192, {"614", "163"}},
    {"plugin.modMain.denorm-enable", "Anti-denormal noise enable", "enum-enable", F, Persistent, Single,
        0, 1, {"On"}},
    {"plugin.modMain.instance-name", "Instance name", "text", S, Persistent, Single, kNone, kNone, {" "}},
    {"plugin.modMain.preset-name", "Preset name", "text", S, Plain, Group, kNone, kNone, {"Default"}},
    {"plugin.modMain.host-oversampling-mode", "Host oversampling mode", "enum", F, Global, Single,
        0, 3, {"1X"}},
    {"plugin.modMain.host-offline", "Host offline", "enum-enable", F, Global, Single, 0, 1, {"Off"}},
    {"plugin.modMain.host-latency-change", "Host latency change", "enum-enable", F, Global, Single,
        0, 1, {"Off"}},
    {"plugin.modMain.host-bpm", "Host tempo", "real", F, Global, Single, 1, 1000, {"120.00"}},
    {"plugin.modMain.host-rec", "Host recording", "enum-enable", F, Global, Single, 0, 1, {"Off"}},
    {"plugin.modMain.oversampling-bypass", "Oversampling bypass", "enum-enable", F, Plain, Single,
        0, 1, {"On"}},
    {"plugin.modMain.group-solo-bypass", "Group solo bypass", "enum-enable", F, Plain, Single, 0, 1, {"On"}},
    {"plugin.modMain.io-params.group-names", "Group names", "text", S, Persistent, Elements,
        kNone, kNone, {"G1", "G2", "G3", "G4", "G5", "G6", "G7", "G8"}},
    {"plugin.modMain.io-params.channel-group-solo", "Group solo", "enum-enable", F, Plain, Group,
        0, 1, {"Off"}},
    {"plugin.modMain.io-params.preset-name", "Routing preset name", "text", S, Plain, Group,
        kNone, kNone, {"Default"}},
    {"plugin.modMain.uicolor-params.name", "UI color scheme", "text", S, Global, Single,
        kNone, kNone, {"Military"}},
    // Raw data has no text of its own.
    {"plugin.modMain.uicolor-params.palette", "UI color palette", "text", R, Global, Single,
        kNone, kNone, {""}},
    {"plugin.modMain.uicolor-params.preset-name", "UI color preset name", "text", S, Plain, Single,
        kNone, kNone, {"Default"}},
    {"plugin.modMain.modEmberline.koren-model", "Model", "enum", F, Storable, Group, 0, 12, {"5842"}},
    {"plugin.modMain.modEmberline.mode", "Mode", "enum", F, Storable, Group, 0, 1, {"Omni"}},
    {"plugin.modMain.modEmberline.voltage", "V Param", "gain", F, Storable, Group, -12, 0, {"-6.0"}},
    {"plugin.modMain.modEmberline.current", "I Param", "gain", F, Storable, Group, -12, 0, {"-6.0"}},
    {"plugin.modMain.modEmberline.em-gain", "Emphasis", "gain", F, Storable, GroupElements,
        -24, 24, {"0.0", "0.0"}},
    {"plugin.modMain.modEmberline.eq-gain", "EQ", "gain", F, Storable, GroupElements,
        -12, 12, {"0.0", "0.0"}},
    {"plugin.modMain.modEmberline.em-gain-inv", "Emphasis inverse", "gain", F, Plain, GroupElements,
        -48, 48, {"0.0", "0.0"}},
    {"plugin.modMain.modEmberline.eq-gain-in", "EQ input gain", "gain", F, Plain, GroupElements,
        -48, 48, {"0.0", "0.0"}},
    {"plugin.modMain.modEmberline.band-count", "Band count", "enum", F, Plain, Single, 1, 64, {"2"}},
    {"plugin.modMain.modEmberline.koren-params.mult", "Koren model mult", "gain", F, Storable, Group,
        -6, 6, {"-4.1"}},
    {"plugin.modMain.modEmberline.koren-params.mu", "Koren model mu", "real", F, Storable, Group,
        1, 150, {"58.50"}},
    {"plugin.modMain.modEmberline.koren-params.x", "Koren model x", "real", F, Storable, Group,
        1, 3, {"1.23"}},
    {"plugin.modMain.modEmberline.koren-params.kG1", "Koren model kG1", "real", F, Storable, Group,
        100, 2000, {"659.00"}},
    {"plugin.modMain.modEmberline.koren-params.kP", "Koren model kP", "real", F, Storable, Group,
        10, 1000, {"267.00"}},
    {"plugin.modMain.modEmberline.koren-params.kVB", "Koren model kVB", "real", F, Storable, Group,
        10, 2000, {"1849.00"}},
    {"plugin.modMain.modEmberline.koren-params.Imin", "Koren model Imin", "real", F, Storable, Group,
        0, 5, {"0.50"}},
    {"plugin.modMain.modEmberline.koren-params.Imax", "Koren model Imax", "real", F, Storable, Group,
        1, 30, {"5.50"}},
    {"plugin.modMain.modEmberline.koren-params.Vbias", "Koren model Vbias", "real", F, Storable, Group,
        50, 250, {"180.00"}},
    {"plugin.modMain.modEmberline.koren-params.Vgain", "Koren model Vgain", "real", F, Storable, Group,
        1, 5, {"1.00"}},
    {"plugin.modMain.modEmberline.modEQ.index", "EQ filter type", "enum", F, Plain, GroupElements,
        0, 5, {"Lo-shelf", "Hi-shelf"}},
    {"plugin.modMain.modEmberline.modEQ.freq", "EQ frequency", "freq", F, Plain, GroupElements,
        20, 21000, {"143", "2.83k"}},
    {"plugin.modMain.modEmberline.modEQ.bw", "EQ bandwidth", "bw", F, Plain, GroupElements,
        0.01, 7, {"3.10"}},
    {"plugin.modMain.modEmberline.modEQHilb.index", "EQ filter type", "enum", F, Plain, GroupElements,
        0, 5, {"Lo-shelf", "Hi-shelf"}},
    {"plugin.modMain.modEmberline.modEQHilb.freq", "EQ frequency", "freq", F, Plain, GroupElements,
        20, 21000, {"143", "2.83k"}},
    {"plugin.modMain.modEmberline.modEQHilb.bw", "EQ bandwidth", "bw", F, Plain, GroupElements,
        0.01, 7, {"3.10"}},
    {"plugin.modMain.modEmberline.modEmphOut.index", "De-emphasis filter type", "enum", F, Plain,
        GroupElements, 0, 5, {"Lo-shelf", "Hi-shelf"}},
    {"plugin.modMain.modEmberline.modEmphOut.freq", "De-emphasis frequency", "freq", F, Plain, GroupElements,
        20, 21000, {"143", "2.83k"}},
    {"plugin.modMain.modEmberline.modEmphOut.bw", "De-emphasis bandwidth", "bw", F, Plain, GroupElements,
        0.01, 7, {"3.10"}},
    {"plugin.modMain.modEmberline.modDCFilter.index", "DC filter type", "enum", F, Plain, Group,
        0, 2, {"HP-6dB"}},
    {"plugin.modMain.modEmberline.modDCFilter.freq", "DC filter frequency", "freq", F, Plain, Group,
        1, 21000, {"7.0"}},
    {"plugin.modMain.modEmberline.modPhaseInv.enable", "Quadrature phase invert", "enum-enable", F,
        Plain, Single, 0, 1, {"On"}},
    {"plugin.modMain.modOutGain.gain", "Output gain", "gain", F, Storable, Group, -12, 12, {"0.0"}},
    {"plugin.modMain.modOutGain.mute", "Mute", "enum-enable", F, Storable, Group, 0, 1, {"Off"}},
    {"plugin.modMain.modOutGain.phase-invert", "Phase invert", "enum-enable", F, Storable, Group,
        0, 1, {"Off"}},
};
// clang-format on

std::string str(const CString& text) {
    return text.toUtf8();
}

class ProductParamDefsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        test::LogCapture log;
        ASSERT_EQ(qelProductStartup(g_embeddedResources), nullptr);
        // A definition that fails is reported to the log and takes the rest of the tree with it.
        for (const CString& line : log.lines)
            s_startupLog += str(line) + "\n";
    }
    static void TearDownTestSuite() { CApplication::shutdown(); }

    void SetUp() override {
        ASSERT_NE(CObject::sharedObject()->findObject("shared::audio.modMain"), nullptr) << s_startupLog;
    }

    // The definition of a run-time name, found the way the registries map names ("plugin=audio").
    static const CAudioParamDef* def(const std::string& runtimeName) {
        if (runtimeName.rfind("plugin.", 0) != 0) return nullptr;
        CString path = CString("shared::audio") + CString(runtimeName.substr(6));
        return dynamic_cast<const CAudioParamDef*>(CObject::sharedObject()->findObject(path));
    }

    static std::string text(const CAudioParamInfo& info, double value, int32_t form = Form::Normal) {
        CString out;
        info.converter(0)->valueToText(out, info, 0, value, &info.defaults.pool(), form);
        return str(out);
    }

    static std::string s_startupLog;
};

std::string ProductParamDefsTest::s_startupLog;

void collectDefinitions(const CObject* object, const std::string& runtimePrefix,
                        std::vector<std::string>& names) {
    for (const CObject* child : object->children()) {
        std::string name = runtimePrefix + "." + str(child->name());
        if (dynamic_cast<const CAudioParamDef*>(child)) names.push_back(name);
        collectDefinitions(child, name, names);
    }
}

TEST_F(ProductParamDefsTest, TheDefinedParametersAreExactlyTheProductsOnes) {
    std::vector<std::string> defined;
    collectDefinitions(CObject::sharedObject()->findObject("shared::audio"), "plugin", defined);
    std::vector<std::string> expected;
    for (const SParam& param : kParams)
        expected.push_back(param.name);
    std::sort(defined.begin(), defined.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(defined, expected);
}

TEST_F(ProductParamDefsTest, EveryDefinitionDescribesWhatTheUserSees) {
    CObject* converters = CObject::sharedObject()->findObject("shared::audio.paramcvt");
    ASSERT_NE(converters, nullptr);
    for (const SParam& param : kParams) {
        SCOPED_TRACE(param.name);
        const CAudioParamDef* definition = def(param.name);
        ASSERT_NE(definition, nullptr);
        const CAudioParamInfo& info = definition->info();
        EXPECT_EQ(str(info.name), std::string(param.name).substr(std::string(param.name).rfind('.') + 1));
        EXPECT_EQ(str(info.visualName), param.visualName);
        EXPECT_EQ(info.elementSize, 1);
        EXPECT_EQ(info.dataType, param.dataType);
        ASSERT_EQ(info.converters.size(), 1u);
        EXPECT_EQ(info.converter(0), converters->childByName(param.converter));

        EXPECT_EQ(info.isStorable, param.kind == Storable);
        EXPECT_EQ(info.isPersistent, param.kind == Persistent);
        EXPECT_EQ(info.isGlobal, param.kind != Plain);
        EXPECT_EQ(info.isSingleGroup, !(param.shape & Group));
        EXPECT_EQ(info.isSingleElement, !(param.shape & Elements));

        if (!std::isnan(param.low)) {
            EXPECT_NEAR(info.converter(0)->normalizedToDisplay(info, 0, 0.0), param.low, 1e-9);
            EXPECT_NEAR(info.converter(0)->normalizedToDisplay(info, 0, 1.0), param.high, 1e-9);
        }
        ASSERT_EQ(info.defaults.groupCount(), 1) << "one common default for every group";
        const int32_t count = info.defaults.elementCount(0);
        std::vector<std::string> shown;
        for (int32_t e = 0; e < count; ++e)
            shown.push_back(text(info, info.defaults.groupValues(0)[e]));
        EXPECT_EQ(shown, std::vector<std::string>(param.defaults.begin(), param.defaults.end()));
    }
}

TEST_F(ProductParamDefsTest, ANewInstanceResolvesEveryParameterThroughItsRegistries) {
    CObject* root = nullptr;
    ASSERT_EQ(CApplication::initRootObject(CString(), root), nullptr);
    CAudioParamCollector* collector = nullptr;
    CObject* plugin = nullptr;
    ASSERT_EQ(test::firstLine(root->createChild("plugin", "plugin", true, nullptr, plugin)), "");
    ASSERT_EQ(root->findObjectChecked("plugin.param-collector", collector), nullptr);
    for (const SParam& param : kParams) {
        SCOPED_TRACE(param.name);
        CAudioParam* run = collector->getParam(param.name);
        // The visualisation switch sits outside every registry's hierarchy.
        if (std::string(param.name) == "plugin.param-enable-viz") {
            EXPECT_EQ(run->info(), nullptr);
            continue;
        }
        ASSERT_NE(run->info(), nullptr);
        EXPECT_EQ(run->info(), &def(param.name)->info());
        const CAudioParamInfo& info = *run->info();
        std::vector<std::string> shown;
        for (int32_t e = 0; e < int32_t(param.defaults.size()); ++e) {
            CString out;
            info.converter(0)->valueToText(out, info, 0, run->getValue(0, e, 0.0), &run->values().pool(),
                                           Form::Normal);
            shown.push_back(str(out));
        }
        EXPECT_EQ(shown, std::vector<std::string>(param.defaults.begin(), param.defaults.end()));
    }
    // The model parameters belong to the model registry only; the rest also to the master.
    CAudioParamRegistry* koren = nullptr;
    CAudioParamRegistry* master = nullptr;
    ASSERT_EQ(root->findObjectChecked("plugin.param-registry-koren", koren), nullptr);
    ASSERT_EQ(root->findObjectChecked("plugin.param-registry", master), nullptr);
    EXPECT_EQ(koren->ownedParams().size(), 10u);
    EXPECT_EQ(master->ownedParams().count("modEmberline.koren-params.mu"), 0u);
    EXPECT_EQ(master->ownedParams().count("modOutGain.gain"), 1u);
    EXPECT_EQ(master->presetNameParam(), collector->findParam("plugin.modMain.preset-name"));
    EXPECT_EQ(collector->getParam("plugin.modMain.modEmberline.koren-model")->selectedRegistry(), koren);

    // The anti-denormal switch is kept in the local store for every instance.
    collector->getParam("plugin.modMain.denorm-enable")->setValue(0, 0, 0, 0.0);
    CString stored;
    ASSERT_TRUE(CAppDataLocal::instance().getText("denorm-enable", stored));
    EXPECT_EQ(str(stored), "Off");
    CApplication::releaseRootObject(root);
}

TEST_F(ProductParamDefsTest, TheHostSeesElevenParametersAtTheirDefaultsAndFullScale) {
    struct SExt {
        const char* extName;
        const char* param;
        int32_t element;
        double normalized;
        const char* atDefault;
        const char* atFullScale;
    };
    const SExt exposed[] = {
        {"Bypass", "plugin.modMain.bypass-enable", 0, 0.0, "Off", "On"},
        {"Oversmp", "plugin.modMain.oversampling", 0, 0.25, "1X", "8X"},
        {"Model", "plugin.modMain.modEmberline.koren-model", 0, 0.0, "5842", "Reserve"},
        {"Mode", "plugin.modMain.modEmberline.mode", 0, 0.0, "Omni", "Lvl.dep"},
        {"VParam", "plugin.modMain.modEmberline.voltage", 0, 0.5, "-6.0", "0.0"},
        {"IParam", "plugin.modMain.modEmberline.current", 0, 0.5, "-6.0", "0.0"},
        {"EmphLo", "plugin.modMain.modEmberline.em-gain", 0, 0.5, "0.0", "24.0"},
        {"EmphHi", "plugin.modMain.modEmberline.em-gain", 1, 0.5, "0.0", "24.0"},
        {"EQLo", "plugin.modMain.modEmberline.eq-gain", 0, 0.5, "0.0", "12.0"},
        {"EQHi", "plugin.modMain.modEmberline.eq-gain", 1, 0.5, "0.0", "12.0"},
        {"OutGain", "plugin.modMain.modOutGain.gain", 0, 0.5, "0.0", "12.0"},
    };
    for (const SExt& ext : exposed) {
        SCOPED_TRACE(ext.extName);
        const CAudioParamDef* definition = def(ext.param);
        ASSERT_NE(definition, nullptr);
        const CAudioParamInfo& info = definition->info();
        ASSERT_LT(ext.element, info.defaults.elementCount(0)) << "the exposed element has a default";
        const CAudioParamConverter* converter = info.converter(0);
        const double value = info.defaults.getValue(0, ext.element, NAN);
        EXPECT_NEAR(converter->toNormalized(info, 0, value), ext.normalized, 1e-12);
        EXPECT_EQ(text(info, value, Form::Short), ext.atDefault);
        EXPECT_EQ(text(info, converter->fromNormalized(info, 0, 1.0), Form::Short), ext.atFullScale);
    }
}

TEST_F(ProductParamDefsTest, TypedEntriesAreReadInTheParametersUnits) {
    struct SEntry {
        const char* param;
        const char* typed;
        bool accepted;
        const char* shown;
    };
    const SEntry entries[] = {
        {"plugin.modMain.oversampling", "8x", true, "8X"},
        {"plugin.modMain.oversampling", "2", true, "2X"},
        {"plugin.modMain.bypass-enable", " on ", true, "On"},
        {"plugin.modMain.modEmberline.mode", "lvl.dep", true, "Lvl.dep"},
        {"plugin.modMain.modEmberline.em-gain", "+6", true, "6.0"},
        {"plugin.modMain.modEmberline.voltage", "-30", true, "-12.0"},
        {"plugin.modMain.modOutGain.gain", "1,5", true, "1.5"},
        {"plugin.modMain.modEmberline.modEQ.freq", "2.5k", true, "2.50k"},
        {"plugin.modMain.modEmberline.modEQ.index", "hi-shlf", true, "Hi-shelf"},
        {"plugin.modMain.modEmberline.koren-params.mu", "100", true, "100.00"},
        {"plugin.modMain.modEmberline.koren-params.mu", "lots", false, "1.00"},
    };
    for (const SEntry& entry : entries) {
        SCOPED_TRACE(std::string(entry.param) + " <- '" + entry.typed + "'");
        const CAudioParamDef* definition = def(entry.param);
        ASSERT_NE(definition, nullptr);
        const CAudioParamInfo& info = definition->info();
        bool ok = !entry.accepted;
        const double value = info.converter(0)->textToValue(info, 0, entry.typed, &ok);
        EXPECT_EQ(ok, entry.accepted);
        EXPECT_EQ(text(info, value), entry.shown);
    }
}

TEST_F(ProductParamDefsTest, TubeModelDefaultsAreThe12AT7AndEveryFactoryModelFitsTheRanges) {
    const char* const names[] = {"mu", "x", "kG1", "kP", "kVB", "Imin", "Imax", "Vbias", "Vgain", "mult"};
    struct SModel {
        const char* name;
        double values[10];
    };
    const SModel models[] = {
        {"5842", {42.4, 2.21, 393.0, 629.0, 446.0, 0.0, 10.0, 80.0, 1.0, 0.8501586931874368}},
        {"12AT7", {58.5, 1.23, 659.0, 267.0, 1849.0, 0.5, 5.5, 180.0, 1.0, 0.6215842477525224}},
        {"6DJ8", {35.7, 1.35, 274.0, 305.0, 310.0, 0.5, 4.0, 150.0, 3.0, 0.9193904748039812}},
        {"12AX7", {100.0, 1.4, 1060.0, 600.0, 300.0, 0.0, 2.0, 160.0, 1.4, 0.8770008211436348}},
        {"12AX7A", {101.24, 1.267, 1002.9, 699.73, 300.0, 0.0, 2.0, 140.0, 1.1, 0.8288959162731061}},
        {"6550", {8.45, 1.247, 642.5, 48.92, 300.0, 0.0, 25.0, 56.0, 3.0, 0.580096172522704}},
        {"7250", {103.44, 1.245, 1515.4, 903.23, 99.2, 0.0, 4.0, 180.0, 1.3, 0.5895219770654915}},
    };
    for (size_t k = 0; k < std::size(names); ++k) {
        SCOPED_TRACE(names[k]);
        const CAudioParamDef* definition =
            def(std::string("plugin.modMain.modEmberline.koren-params.") + names[k]);
        ASSERT_NE(definition, nullptr);
        const CAudioParamInfo& info = definition->info();
        EXPECT_NEAR(info.flatDefaults.at(0), models[1].values[k], 1e-12);
        for (const SModel& model : models) {
            EXPECT_GE(model.values[k], info.minValue(0)) << model.name;
            EXPECT_LE(model.values[k], info.maxValue(0)) << model.name;
        }
    }
}

TEST_F(ProductParamDefsTest, KorenModelNamesComeFromTheModelStore) {
    const CAudioParamDef* model = def("plugin.modMain.modEmberline.koren-model");
    ASSERT_NE(model, nullptr);
    EXPECT_EQ(str(model->info().registryName), "plugin.param-registry-koren");
    EXPECT_EQ(str(model->getAttr("state-names")), "@koren-presets");
    std::vector<std::string> names;
    for (const CString& name : model->info().stateNames)
        names.push_back(str(name));
    EXPECT_EQ(names, (std::vector<std::string>{"5842", "12AT7", "6DJ8", "12AX7", "12AX7A", "6550", "7250"}));
}

TEST_F(ProductParamDefsTest, ConvertersCarryTheirUnitsAndSettings) {
    struct SConverter {
        const char* name;
        const char* tag;
        const char* label;
        bool discrete;
        std::vector<std::pair<const char*, const char*>> attrs;
    };
    const SConverter expected[] = {
        {"gain",
         "audio:cvt-gain",
         "dB",
         false,
         {{"decimals", "1"}, {"scale-power", "1.0"}, {"scale-threshold", "-1.0"}}},
        {"freq", "audio:cvt-freq", "Hz", false, {{"scale-power", "1.0"}, {"scale-threshold", "-1.0"}}},
        {"bw", "audio:cvt-bw", "Oct", false, {}},
        {"text", "audio:cvt-text", "", true, {}},
        {"real", "audio:cvt-real", "", false, {{"decimals", "2"}}},
        {"percent", "audio:cvt-percent", "%", false, {}},
        {"time", "audio:cvt-time", "ms", false, {{"scale", "0.001"}}},
        {"time-sec", "audio:cvt-time", "s", false, {{"scale", "1.0"}}},
        {"enum", "audio:cvt-enum", "", true, {}},
        {"enum-enable", "audio:cvt-enum", "", true, {{"state-names", "Off;On"}}},
    };
    CObject* converters = CObject::sharedObject()->findObject("shared::audio.paramcvt");
    ASSERT_NE(converters, nullptr);
    EXPECT_EQ(converters->children().size(), std::size(expected));
    for (const SConverter& want : expected) {
        SCOPED_TRACE(want.name);
        auto* converter = dynamic_cast<CAudioParamConverter*>(converters->childByName(want.name));
        ASSERT_NE(converter, nullptr);
        EXPECT_EQ(str(converter->tag()), want.tag);
        EXPECT_EQ(str(converter->label()), want.label);
        EXPECT_EQ(converter->isDiscrete(), want.discrete);
        for (const auto& [attr, value] : want.attrs)
            EXPECT_EQ(str(converter->getAttr(attr)), value) << attr;
    }
}

} // namespace
} // namespace qel
