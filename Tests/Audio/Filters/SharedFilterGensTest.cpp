#include <numbers>

#include "Audio/DSP/CIIRSectionCascade.h"
#include "Audio/Filters/CAudioFilterGenArray.h"
#include "Audio/Filters/CAudioFilterMagnusGen.h"
#include "Audio/Filters/CAudioFilterRBJGen.h"
#include "Audio/Filters/FilterGenTree.h"
#include "Audio/Params/CAudioParamInfo.h"
#include "ResourceEmbedder/EmbeddedResources.h"
#include "UI/CAppDataGlobal.h"
#include "UI/CAppDataLocal.h"
#include "UI/UIClassTable.h"

namespace qel::test {
namespace {

// Parameter definitions read their state lists from the data stores, as at the product's start-up.
bool readAppData(bool global, const CString& name, uint32_t type, CByteBuffer& data) {
    CAppData& store = global ? static_cast<CAppData&>(CAppDataGlobal::instance())
                             : static_cast<CAppData&>(CAppDataLocal::instance());
    return store.get(name, type, data);
}

// The product's shared tree with the filter generator classes registered.
class SharedFilterGensTest : public ::testing::Test {
protected:
    void SetUp() override {
        CAudioParamInfo::setAppDataReader(readAppData);
        ASSERT_EQ(CApplication::startup(
                      {qelCoreClassTable(), qelAudioClassTable(), qelUIClassTable(), qelFilterClassTable()},
                      g_embeddedResources, "SharedData.xml"),
                  nullptr);
        // A failing definition only logs and leaves the tree short.
        ASSERT_NE(flt("hp1"), nullptr);
        stdArray = dynamic_cast<CAudioFilterGenArray*>(
            CObject::sharedObject()->findObject("shared::audio.fltarray.std"));
        hp1Array = dynamic_cast<CAudioFilterGenArray*>(
            CObject::sharedObject()->findObject("shared::audio.fltarray.hp1"));
        ASSERT_TRUE(stdArray && hp1Array);
    }
    void TearDown() override { CApplication::shutdown(); }

    static CAudioFilterGen* flt(const std::string& name) {
        return dynamic_cast<CAudioFilterGen*>(
            CObject::sharedObject()->findObject(("shared::audio.flt." + name).c_str()));
    }

    CAudioFilterGenArray* stdArray = nullptr;
    CAudioFilterGenArray* hp1Array = nullptr;
};

TEST_F(SharedFilterGensTest, ArraysChooseTheProductGenerators) {
    const char* stdItems[] = {"bypass", "peak_magnusB", "ls_rbj", "hs_rbj", "lp2_rbj", "hp2_rbj"};
    for (int index = 0; index < 6; ++index)
        EXPECT_EQ(stdArray->select(index), flt(stdItems[index])) << index;
    const char* hp1Items[] = {"bypass", "hp1", "hp1b"};
    for (int index = 0; index < 3; ++index)
        EXPECT_EQ(hp1Array->select(index), flt(hp1Items[index])) << index;
    const int rbjTypes[] = {0, 0, 7, 8, 0, 1};
    for (int index = 2; index < 6; ++index)
        EXPECT_EQ(dynamic_cast<CAudioFilterRBJGen*>(flt(stdItems[index]))->type(), rbjTypes[index]) << index;
    EXPECT_EQ(dynamic_cast<CAudioFilterMagnusGen*>(flt("peak_magnusB"))->type(), 1);
    // The process registers its slots from these.
    EXPECT_EQ(slots(*stdArray), (std::vector<CString>{"freq", "gain", "bw"}));
    EXPECT_EQ(slots(*hp1Array), (std::vector<CString>{"freq"}));
    EXPECT_EQ(stdArray->maxSectionCount(), 1);
    EXPECT_EQ(hp1Array->maxSectionCount(), 2);
}

TEST_F(SharedFilterGensTest, DcHighPasses) {
    const double fs = 44100.0;
    auto dB = [](double magnitude) { return 20.0 * std::log10(magnitude); };
    EXPECT_EQ(run(*hp1Array, values({{"freq", 20.0}}, 0), fs).count(), 0);
    const CBiquadSectionList six = run(*hp1Array, values({{"freq", 20.0}}, 1), fs);
    const CBiquadSectionList twelve = run(*hp1Array, values({{"freq", 20.0}}, 2), fs);
    EXPECT_NEAR(magnitudeAt(six, 20.0, fs), 0.7079457843841379, 1e-12);
    EXPECT_NEAR(dB(magnitudeAt(twelve, 20.0, fs)), -3.0, 0.05);
    EXPECT_NEAR(dB(magnitudeAt(six, 2.5, fs) / magnitudeAt(six, 1.25, fs)), 6.0, 0.1);
    EXPECT_NEAR(dB(magnitudeAt(twelve, 2.5, fs) / magnitudeAt(twelve, 1.25, fs)), 12.0, 0.2);
    EXPECT_NEAR(magnitudeAt(twelve, 2000.0, fs), 1.0, 5e-3);

    // The product's DC filter at 7 Hz removes an offset.
    CIIRSectionCascade cascade;
    cascade.setSections(run(*hp1Array, values({{"freq", 7.0}}, 1), fs));
    std::vector<double> x(88200, 0.5);
    cascade.process(x.data(), x.data(), int32_t(x.size()));
    EXPECT_LT(std::abs(x.back()), 1e-6);
}

// The largest change from one sample to the next of a shelf's output on a tone, when its gain goes
// from 0 to 12 dB at sample 1000: by a cross-fade, or (length 0) by swapping the coefficients.
double largestStep(const CAudioFilterGenArray& stdArray, double type, double shelfFreq, double toneFreq,
                   int32_t fadeLength) {
    const double fs = 44100.0;
    std::vector<double> x(6000);
    for (size_t i = 0; i < x.size(); ++i)
        x[i] = std::sin(2.0 * std::numbers::pi * toneFreq / fs * double(i));
    CIIRSectionCascade cascade;
    cascade.setSections(run(stdArray, values({{"freq", shelfFreq}, {"gain", 1.0}, {"bw", 3.1}}, type), fs));
    cascade.process(x.data(), x.data(), 1000);
    const CBiquadSectionList louder =
        run(stdArray, values({{"freq", shelfFreq}, {"gain", 4.0}, {"bw", 3.1}}, type), fs);
    if (fadeLength > 0)
        cascade.morphTo(louder, fadeLength);
    else
        cascade.setSections(louder);
    for (size_t pos = 1000; pos < x.size(); pos += 32)
        cascade.process(x.data() + pos, x.data() + pos, int32_t(std::min<size_t>(32, x.size() - pos)));
    double largest = 0.0;
    for (size_t i = 1; i < x.size(); ++i)
        largest = std::max(largest, std::abs(x[i] - x[i - 1]));
    return largest;
}

TEST_F(SharedFilterGensTest, ShelfGainChangeHasNoStep) {
    const double fs = 44100.0;
    // Limits in units of the louder steady tone's largest step.
    for (const auto& [type, shelfFreq, toneFreq, fadedLimit, swappedLimit] :
         {std::tuple{2.0, 143.0, 50.0, 3.0, 10.0}, std::tuple{3.0, 2830.0, 3000.0, 1.1, 2.0}}) {
        const double steady =
            2.0 *
            magnitudeAt(run(*stdArray, values({{"freq", shelfFreq}, {"gain", 4.0}, {"bw", 3.1}}, type), fs),
                        toneFreq, fs) *
            std::sin(std::numbers::pi * toneFreq / fs);
        // The product's 1 ms cross-fade.
        EXPECT_LT(largestStep(*stdArray, type, shelfFreq, toneFreq, 44), fadedLimit * steady) << type;
        EXPECT_GT(largestStep(*stdArray, type, shelfFreq, toneFreq, 0), swappedLimit * steady) << type;
    }
}

} // namespace
} // namespace qel::test
