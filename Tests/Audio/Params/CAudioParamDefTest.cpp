#include "Audio/Params/CAudioParamDef.h"

#include <gtest/gtest.h>

#include "Audio/Converters/CAudioParamConverter.h"
#include "Core/CMemoryReader.h"
#include "Core/CWriteSeqBuffer.h"
#include "ParamTree.h"

using namespace qel;

using CAudioParamDefTest = test::ParamTreeTest;

namespace {

const char* const kGain = "shared::audio.paramcvt.gain";
const char* const kFreq = "shared::audio.paramcvt.freq";
const char* const kEnum = "shared::audio.paramcvt.enum";

} // namespace

TEST_F(CAudioParamDefTest, FlagsDataTypesAndConvertersFollowTheAttributes) {
    const CAudioParamInfo* both = param(gain({{"is-persistent", "true"}, {"is-storable", "true"}}));
    ASSERT_NE(both, nullptr);
    EXPECT_TRUE(both->isPersistent && !both->isStorable && both->isGlobal) << "persistent wins over storable";
    EXPECT_EQ(both->name, "p");
    EXPECT_NEAR(both->minValues[0], 0.251188643150958, 1e-15);
    EXPECT_EQ(both->converters, std::vector<const CAudioParamConverter*>{
                                    dynamic_cast<CAudioParamConverter*>(cvt->findObject(".gain"))});
    EXPECT_DOUBLE_EQ(both->flatDefaults.at(0), 1.0) << "0 dB";
    const CAudioParamInfo* plain = param(gain({{"is-global", "true"}}));
    ASSERT_NE(plain, nullptr);
    EXPECT_TRUE(plain->isGlobal && !plain->isStorable && !plain->isPersistent);

    const CAudioParamInfo* text = param(gain({{"data-type", "1"},
                                              {"converter", "shared::audio.paramcvt.text"},
                                              {"max-values", ""},
                                              {"def-values", " "}}));
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->dataType, CAudioParamInfo::String);
    EXPECT_EQ(text->minValues, std::vector<double>{0.0}) << "limits of non-float parameters are fixed";
    EXPECT_EQ(text->maxValues, std::vector<double>{8388608.0});
    EXPECT_EQ(text->defaults.pool().getString(int32_t(text->flatDefaults.at(0))), " ");
    EXPECT_EQ(CAudioParamInfo::parseDataType("2"), CAudioParamInfo::Float);
    EXPECT_EQ(CAudioParamInfo::parseDataType("str"), CAudioParamInfo::String);
    EXPECT_EQ(CAudioParamInfo::parseDataType("raw"), CAudioParamInfo::Raw);

    // Two value positions, each with its own converter and range; extra limits are ignored.
    const CAudioParamInfo* pair = param(gain({{"element-size", "2"},
                                              {"converter", kFreq},
                                              {"converter2", kGain},
                                              {"min-values", "20 -6 99"},
                                              {"max-values", "20k 6"},
                                              {"def-values", "1k 0,2.5k -6"}}));
    ASSERT_NE(pair, nullptr);
    EXPECT_DOUBLE_EQ(pair->minValues[0], 20);
    EXPECT_NEAR(pair->minValues[1], 0.501187, 1e-6);
    EXPECT_DOUBLE_EQ(pair->maxValues[0], 20000);
    EXPECT_EQ(pair->defaults.elementCount(0), 2);
    EXPECT_DOUBLE_EQ(pair->defaults.getValue(0, 2, -1), 2500);
    EXPECT_NEAR(pair->defaults.getValue(0, 3, -1), 0.501187, 1e-6);
}

TEST_F(CAudioParamDefTest, DefinitionErrorsNameTheProblem) {
    EXPECT_EQ(paramError(gain({{"element-size", ""}})), "Invalid element size  specified.");
    EXPECT_EQ(paramError(gain({{"element-size", "-2"}})), "Invalid element size -2 specified.");
    EXPECT_EQ(paramError(gain({{"element-size", "2"}, {"data-type", "string"}})),
              "Invalid element size 2 for non-float data specified.");
    EXPECT_EQ(paramError(gain({{"converter", "shared::audio.paramcvt.nothing"}})),
              "Audio parameter converter 'shared::audio.paramcvt.nothing' not found.");
    EXPECT_EQ(paramError(gain({{"converter", "shared::audio"}})),
              "Audio parameter converter 'shared::audio' not found.")
        << "an object that is not a converter";
    EXPECT_EQ(paramError(gain({{"element-size", "3"}, {"converter3", kGain}})),
              "Not enough converters defined 1 (should be 3).")
        << "an empty name ends the list";
    EXPECT_EQ(paramError(gain({{"element-size", "2"}, {"converter2", kGain}, {"max-values", "1 1"}})),
              "Not enough minimum values defined 1 (should be 2).");
    EXPECT_EQ(paramError(gain({{"max-values", ""}})), "Not enough maximum values defined 0 (should be 1).");
    EXPECT_EQ(
        paramError(gain(
            {{"element-size", "2"}, {"converter2", kGain}, {"min-values", "-6 3"}, {"max-values", "6 3"}})),
        "Zero default min-max values difference detected in element 1.");
    EXPECT_EQ(paramError(gain({{"def-values", "1,,2"}})), "Default values parsing error.");
    EXPECT_EQ(paramError(gain({{"def-values", "loud"}})), "Default values parsing error.")
        << "rejected by the converter";

    // Failures inside the description carry a frame naming the definition.
    CObject* made = nullptr;
    CError* error = make(root, "audio:param", "drive", gain({{"converter", "x"}}), made);
    ASSERT_NE(error, nullptr);
    EXPECT_TRUE(error->line(error->count() - 1).endsWith(" // drive")) << error->joined("\n").toUtf8();
    qelErrRelease(error);
}

TEST_F(CAudioParamDefTest, StateNamesFromTextAndFromAStoredBank) {
    test::Attrs attrs = gain({{"converter", kEnum},
                              {"min-values", "0"},
                              {"max-values", "3"},
                              {"state-names", "Long name|Sh;  Vintage warm ;;Omni|Lvl.dep|x; | "}});
    const CAudioParamInfo* mode = param(attrs);
    ASSERT_NE(mode, nullptr);
    EXPECT_EQ(mode->stateNames, (std::vector<CString>{"Long name", "Vintage warm", "Omni", ""}));
    EXPECT_EQ(mode->stateShortNames, (std::vector<CString>{"Sh", "Vintage", "Lvl.dep", ""}));

    // "@name" reads the first bank of a local bank list, "@/name" of a global one.
    static std::vector<std::pair<bool, std::string>> asked;
    asked.clear();
    CAudioParamInfo::setAppDataReader([](bool global, const CString& name, uint32_t type, CByteBuffer& data) {
        asked.emplace_back(global, name.toUtf8());
        if (name != "koren-presets" || type != qelFourCC("alst")) return false;
        CWriteSeqBuffer out;
        out.writeValue(int32_t(2)); // banks; only the first counts
        out.writeString("Models");
        out.writeValue(int32_t(3));
        for (const char* presetName : {"QLKR:12AX7; 12ax7 ", "QLKR:Bright tube", "Plain"}) {
            out.writeString(presetName);
            out.writeValue(int32_t(1));
            out.writeString("koren-mu");
            out.writeValue(int32_t(3));
            out.write("abc", 3);
        }
        data = out.join();
        return true;
    });
    attrs.back().second = "@koren-presets";
    const CAudioParamInfo* koren = param(attrs);
    ASSERT_NE(koren, nullptr);
    EXPECT_EQ(koren->stateNames, (std::vector<CString>{"12AX7", "Bright tube", "Plain"}));
    EXPECT_EQ(koren->stateShortNames, (std::vector<CString>{"12ax7", "Bright ", "Plain"}));
    attrs.back().second = "@/uicolor-presets";
    EXPECT_EQ(paramError(attrs), "No state names data available in 'uicolor-presets'.");
    EXPECT_EQ(asked, (std::vector<std::pair<bool, std::string>>{{false, "koren-presets"},
                                                                {true, "uicolor-presets"}}));
    CAudioParamInfo::setAppDataReader(nullptr);
    attrs.back().second = "@koren-presets";
    EXPECT_EQ(paramError(attrs), "No state names data available in 'koren-presets'.") << "no store at all";
}

TEST_F(CAudioParamDefTest, InfoBlocksRoundTripAndResolveTheirConverters) {
    const CAudioParamInfo* pair = param({{"element-size", "2"},
                                         {"converter", kFreq},
                                         {"converter2", kEnum},
                                         {"min-values", "20 0"},
                                         {"max-values", "20k 1"},
                                         {"def-values", "440 1,880 0;100 0"},
                                         {"state-names", "Auto;Manual|Man"},
                                         {"is-storable", "true"},
                                         {"visual-name", "Band"}});
    ASSERT_NE(pair, nullptr);
    CWriteSeqBuffer out;
    ASSERT_EQ(pair->save(out), nullptr);
    CByteBuffer bytes = out.join();
    CMemoryReader reader(bytes);
    CAudioParamInfo copy;
    ASSERT_EQ(test::firstLine(copy.load(reader, root)), "");
    EXPECT_TRUE(copy.isStorable && copy.isGlobal && !copy.isPersistent);
    EXPECT_EQ(copy.visualName, "Band");
    EXPECT_EQ(copy.converters, pair->converters);
    EXPECT_EQ(copy.maxValues, pair->maxValues);
    EXPECT_EQ(copy.stateShortNames, pair->stateShortNames);
    EXPECT_EQ(copy.defaults.groupCount(), 2);
    EXPECT_EQ(copy.flatDefaults, (std::vector<double>{440, 1, 880, 0}));
    EXPECT_DOUBLE_EQ(copy.defaults.getValue(7, 2, -1), 880) << "missing groups read the first one";
    CWriteSeqBuffer again;
    ASSERT_EQ(copy.save(again), nullptr);
    EXPECT_EQ(again.join(), bytes);

    bytes[0] = 2;
    CMemoryReader wrongVersion(bytes);
    EXPECT_EQ(test::firstLine(copy.load(wrongVersion, root)), "Unsupported data set version 2.");
    // The same block once the first converter no longer exists.
    cvt->destroyChild(cvt->findObject(".freq"));
    bytes[0] = 1;
    CMemoryReader missing(bytes);
    EXPECT_EQ(test::firstLine(copy.load(missing, root)),
              "Audio parameter converter 'shared::audio.paramcvt.freq' not found.");
}
