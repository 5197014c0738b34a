#include <gtest/gtest.h>

#include "Audio/Params/CAudioExtParam.h"
#include "Audio/Params/CAudioExtParamHostBridge.h"
#include "Audio/Params/CAudioExtParamList.h"
#include "Audio/Params/CAudioParam.h"
#include "Audio/ProductInstance.h"
#include "Support/DefinitionBuilder.h"

namespace qel {
namespace {

// Collects what the host would hear.
class CRecordingBridge : public CAudioExtParamHostBridge {
public:
    void hostAutomate(int32_t index, double normalized) override { calls.push_back({index, normalized}); }
    std::vector<std::pair<int32_t, double>> calls;
};

class CAudioExtParamTest : public test::ProductInstanceTest {
protected:
    void SetUp() override {
        ProductInstanceTest::SetUp();
        ASSERT_EQ(root->findObjectChecked("plugin.ext-param-list", list), nullptr);
        for (int32_t i = 0; i < list->count(); ++i)
            list->entry(i)->attachHost(&bridge, i);
    }
    CAudioExtParam* entry(const char* name) {
        for (CAudioExtParam* e : list->entries())
            if (e->extName() == name) return e;
        ADD_FAILURE() << name;
        return nullptr;
    }

    CAudioExtParamList* list = nullptr;
    CRecordingBridge bridge;
};

TEST_F(CAudioExtParamTest, TheListKeepsDefinitionOrder) {
    const char* names[] = {"Bypass", "Oversmp", "Model", "Mode", "VParam", "IParam",
                           "EmphLo", "EmphHi",  "EQLo",  "EQHi", "OutGain"};
    ASSERT_EQ(list->count(), 11);
    for (int32_t i = 0; i < 11; ++i)
        EXPECT_EQ(list->entry(i)->extName(), names[i]);
    EXPECT_EQ(list->entry(11), nullptr);
}

TEST_F(CAudioExtParamTest, NamesLongerThanSevenCharactersAreRefused) {
    for (const char* name : {"TooLong8", ""}) {
        CObject* made = nullptr;
        EXPECT_EQ(test::firstLine(test::buildDefinition(list, "audio:ext-param", "bad",
                                                        {{"param-collector", "plugin.param-collector"},
                                                         {"ext-name", name},
                                                         {"param-name", "plugin.modMain.bypass-enable"}},
                                                        {}, made)),
                  std::string("Externalized parameter name '") + name + "' is too long");
    }
    EXPECT_EQ(list->count(), 11);
}

TEST_F(CAudioExtParamTest, ElementsOfOneParameterMoveIndependently) {
    CAudioExtParam* low = entry("EmphLo");
    CAudioExtParam* high = entry("EmphHi");
    bridge.calls.clear();
    high->setNormalized(0.75);
    EXPECT_DOUBLE_EQ(high->getNormalized(), 0.75);
    EXPECT_NE(low->getNormalized(), 0.75);
    EXPECT_TRUE(bridge.calls.empty()) << "the host's own change is not echoed";

    // A change from elsewhere of element 1 reaches only the element-1 entry.
    CAudioParam* param = high->param();
    const double before = low->getNormalized();
    param->setValue(0, 1, 0, 0.0);
    ASSERT_EQ(bridge.calls.size(), 1u);
    EXPECT_EQ(bridge.calls[0].first, 7);
    EXPECT_DOUBLE_EQ(low->getNormalized(), before);
}

TEST_F(CAudioExtParamTest, SettingTheSameValueTwiceChangesTheParameterOnce) {
    CAudioExtParam* gain = entry("OutGain");
    std::vector<SAudioParamUpdate> seen;
    struct CCounter : CUpdateListener {
        int count = 0;
        CAudioParam* param = nullptr;
        void onUpdate(const SUpdateRecord* record, const SUpdateEntry&) override {
            if (record && record->kind == SAudioParamUpdate::kKind &&
                static_cast<const SAudioParamUpdate*>(record)->param == param)
                ++count;
        }
    } counter;
    counter.param = gain->param();
    counter.attach(collector, 0);
    gain->setNormalized(0.3);
    gain->setNormalized(0.3);
    gain->setNormalized(1.7); // limited to 1
    gain->setNormalized(1.0);
    EXPECT_EQ(counter.count, 2);
    counter.detach();
}

TEST_F(CAudioExtParamTest, TextsUseTheShortForm) {
    CAudioExtParam* mode = entry("Mode");
    EXPECT_EQ(mode->textOfNormalized(1.0).toUtf8(), "Lvl.dep");
    EXPECT_EQ(mode->textOfNormalized(-3.0).toUtf8(), "Omni");
    CAudioExtParam* oversampling = entry("Oversmp");
    EXPECT_DOUBLE_EQ(oversampling->normalizedOfText("4X"), 0.75);
    oversampling->setNormalized(0.5);
    EXPECT_EQ(oversampling->displayText().toUtf8(), "2X");
    EXPECT_DOUBLE_EQ(oversampling->normalizedOfText("?"), 0.5) << "a rejected text keeps the value";
    EXPECT_EQ(entry("OutGain")->label().toUtf8(), "dB");
}

} // namespace
} // namespace qel
