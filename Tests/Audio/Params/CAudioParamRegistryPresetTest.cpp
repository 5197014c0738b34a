#include <gtest/gtest.h>

#include "Audio/CAudioInterfaceBase.h"
#include "Audio/Params/CAudioParam.h"
#include "Audio/Params/CAudioParamRegistry.h"
#include "Audio/ProductInstance.h"
#include "Core/CMemoryReader.h"
#include "Core/CWriteSeqBuffer.h"

namespace qel {
namespace {

// The registries of one product instance, driven the way the host and the editor drive them.
class CAudioParamRegistryPresetTest : public test::ProductInstanceTest {
protected:
    void SetUp() override {
        ProductInstanceTest::SetUp();
        ASSERT_EQ(root->findObjectChecked("plugin.param-registry", master), nullptr);
        ASSERT_EQ(root->findObjectChecked("plugin.interface-base", undo), nullptr);
        master->applyCurrentProgram();
    }
    CAudioParam* param(const char* name) { return collector->getParam(CString("plugin.modMain.") + name); }
    // A step of a drag: mergeable records under one key.
    void drag(const char* name, double v, int32_t key) {
        auto record = std::make_unique<CAudioParamUndoRecord>("Drag", true, key);
        std::vector<double> values{v};
        SAudioParamChange change;
        change.values = values.data();
        param(name)->applyChange(change, nullptr, nullptr, record.get());
        undo->add(std::move(record));
    }
    double value(const char* name, int32_t element = 0) { return param(name)->getValue(0, element, -1.0); }
    // An edit as the editor makes it: one undo record per gesture.
    void edit(const char* name, double v, int32_t element = 0) {
        CAudioParamUndoRecord* record = new CAudioParamUndoRecord(CString("Edit ") + name);
        std::vector<double> values{v};
        SAudioParamChange change;
        change.firstElement = element;
        change.values = values.data();
        param(name)->applyChange(change, nullptr, nullptr, record);
        undo->add(std::unique_ptr<CAudioParamUndoRecord>(record));
    }
    CByteBuffer preset(int32_t index = -1) {
        CWriteSeqBuffer out;
        EXPECT_EQ(master->acquirePreset(false, index, -1, out), nullptr);
        return out.join();
    }
    CByteBuffer bank() {
        CWriteSeqBuffer out;
        EXPECT_EQ(master->acquireBank(false, out), nullptr);
        return out.join();
    }

    CAudioParamRegistry* master = nullptr;
    CAudioInterfaceBase* undo = nullptr;
};

TEST_F(CAudioParamRegistryPresetTest, TheFactoryBankGivesTheProgramsAndTheDefaultAgreesWithItsModel) {
    EXPECT_GE(master->programCount(), 8);
    EXPECT_EQ(master->programName(0), "QLEM:Default");
    EXPECT_EQ(value("modEmberline.koren-model"), 1.0) << "12AT7";
    // The model's own parameters follow the selector.
    CAudioParam* mu = param("modEmberline.koren-params.mu");
    EXPECT_DOUBLE_EQ(mu->getValue(0, 0, 0), 58.5);
    param("modEmberline.koren-model")->setValue(0, 0, 0, 3.0);
    EXPECT_DOUBLE_EQ(mu->getValue(0, 0, 0), 100.0) << "12AX7";
    EXPECT_DOUBLE_EQ(param("modEmberline.koren-params.kG1")->getValue(0, 0, 0), 1060.0);
}

TEST_F(CAudioParamRegistryPresetTest, AForeignPresetIsRefusedAndChangesNothing) {
    CAudioPreset foreign;
    foreign.setName("QLKR:Alien");
    foreign.setEntry("modOutGain.gain", {});
    CWriteSeqBuffer out;
    ASSERT_EQ(foreign.save(out), nullptr);
    edit("modOutGain.gain", 0.5);
    const CByteBuffer before = preset();
    CMemoryReader reader(out.join());
    EXPECT_EQ(test::firstLine(master->activatePreset(reader, false, -1)), "Incompatible preset.");
    EXPECT_EQ(preset(), before);
    EXPECT_EQ(undo->count(), 1);
}

TEST_F(CAudioParamRegistryPresetTest, ProgramsKeepTheirEditsAndTheirUndoHistories) {
    edit("modOutGain.gain", 0.5);
    edit("modOutGain.gain", 0.3);
    master->selectProgram(2, nullptr);
    EXPECT_EQ(master->currentProgram(), 2);
    EXPECT_EQ(undo->count(), 0) << "a program not visited yet has no history";
    const double programTwoGain = value("modOutGain.gain");
    edit("modEmberline.mode", 0);
    master->selectProgram(0, nullptr);
    EXPECT_DOUBLE_EQ(value("modOutGain.gain"), 0.3);
    EXPECT_EQ(undo->count(), 2);
    undo->goToPosition(1);
    EXPECT_DOUBLE_EQ(value("modOutGain.gain"), 0.5);
    master->selectProgram(2, nullptr);
    EXPECT_DOUBLE_EQ(value("modOutGain.gain"), programTwoGain);
    EXPECT_EQ(value("modEmberline.mode"), 0.0);
}

TEST_F(CAudioParamRegistryPresetTest, ThePresetOfTheCurrentProgramIncludesUnsavedEdits) {
    edit("modOutGain.gain", 0.5);
    const CByteBuffer edited = preset(-1);
    master->selectProgram(1, nullptr);
    master->selectProgram(0, nullptr);
    EXPECT_EQ(preset(0), edited);
    CMemoryReader reader(edited);
    CAudioPreset read;
    ASSERT_EQ(read.load(reader), nullptr);
    EXPECT_EQ(read.name(), "QLEM:Default");
    EXPECT_TRUE(read.entries().count("modOutGain.gain"));
    EXPECT_TRUE(read.entries().count("bypass-enable")) << "the host state carries persistent values";
}

TEST_F(CAudioParamRegistryPresetTest, PersistentValuesAreEqualInEveryProgramOfABank) {
    param("bypass-enable")->setValue(0, 0, 0, 1.0);
    CMemoryReader reader(bank());
    CAudioPresetBank read;
    ASSERT_EQ(read.load(reader), nullptr);
    ASSERT_GE(read.presetCount(), 8);
    const CByteBuffer& bypass = read.preset(0)->entries().at("bypass-enable");
    for (int32_t p = 1; p < read.presetCount(); ++p)
        EXPECT_EQ(read.preset(p)->entries().at("bypass-enable"), bypass);
    EXPECT_EQ(read.name(), "Session Bank");
}

TEST_F(CAudioParamRegistryPresetTest, TwoExchangesRestoreStateAndHistory) {
    master->updateShadow();
    edit("modOutGain.gain", 0.5);
    const CByteBuffer b = preset();
    master->exchangeShadow();
    EXPECT_DOUBLE_EQ(value("modOutGain.gain"), 1.0);
    EXPECT_EQ(undo->count(), 0);
    master->exchangeShadow();
    EXPECT_EQ(preset(), b);
    EXPECT_EQ(undo->count(), 1);
}

TEST_F(CAudioParamRegistryPresetTest, UndoHistoryDepthMergingAndMasterReset) {
    EXPECT_EQ(undo->maxDepth(), 32);
    for (int i = 0; i < 33; ++i)
        edit("modOutGain.gain", 0.3 + i * 0.01);
    EXPECT_EQ(undo->count(), 32);
    undo->goToPosition(0);
    EXPECT_DOUBLE_EQ(value("modOutGain.gain"), 0.3) << "the first record was dropped";
    undo->clear();

    // Mergeable records with one key leave one step that undoes to the value before the first.
    for (double v : {0.4, 0.5, 0.6})
        drag("modOutGain.gain", v, 7);
    EXPECT_EQ(undo->count(), 1);
    undo->goToPosition(0);
    EXPECT_DOUBLE_EQ(value("modOutGain.gain"), 0.3);
    undo->goToPosition(1);
    EXPECT_DOUBLE_EQ(value("modOutGain.gain"), 0.6);

    edit("modEmberline.voltage", 0.5);
    master->masterReset();
    EXPECT_DOUBLE_EQ(value("modOutGain.gain"), 1.0);
    std::vector<CString> labels;
    int32_t position = 0;
    undo->labels(labels, position);
    EXPECT_EQ(labels.front(), "Undo history start");
    EXPECT_EQ(labels.back(), "Master reset");
    undo->goToPosition(position - 1);
    EXPECT_DOUBLE_EQ(value("modOutGain.gain"), 0.6) << "one step undoes the whole reset";
    EXPECT_DOUBLE_EQ(value("modEmberline.voltage"), 0.5);
}

TEST_F(CAudioParamRegistryPresetTest, AMergedRecordKeepsTheRedoSide) {
    const double voltage = value("modEmberline.voltage");
    drag("modOutGain.gain", 0.4, 7);
    edit("modEmberline.voltage", 0.5);
    undo->goToPosition(1);
    ASSERT_EQ(undo->count(), 2);

    // The drag goes on: merged into its step, the undone edit can still be redone.
    drag("modOutGain.gain", 0.45, 7);
    EXPECT_EQ(undo->count(), 2);
    EXPECT_EQ(undo->position(), 1);
    undo->goToPosition(2);
    EXPECT_DOUBLE_EQ(value("modEmberline.voltage"), 0.5);
    EXPECT_DOUBLE_EQ(value("modOutGain.gain"), 0.45);
    undo->goToPosition(0);
    EXPECT_DOUBLE_EQ(value("modOutGain.gain"), 1.0);

    // At the start of the history there is nothing to merge into: a new step, which ends what could be
    // redone. Another key is a new step too.
    drag("modOutGain.gain", 0.3, 7);
    EXPECT_EQ(undo->count(), 1);
    drag("modOutGain.gain", 0.2, 8);
    EXPECT_EQ(undo->count(), 2);
    undo->goToPosition(1);
    EXPECT_DOUBLE_EQ(value("modOutGain.gain"), 0.3);
    EXPECT_DOUBLE_EQ(value("modEmberline.voltage"), voltage) << "the undone edit is gone";
}

TEST_F(CAudioParamRegistryPresetTest, BanksReplaceOnlyTheirOwnNumberOfPrograms) {
    CAudioPresetBank small;
    small.setName("Two");
    small.addPreset().setName("QLEM:First");
    small.addPreset().setName("QLEM:Second");
    CWriteSeqBuffer out;
    ASSERT_EQ(small.save(out), nullptr);
    const int32_t count = master->programCount();
    CMemoryReader reader(out.join());
    ASSERT_EQ(master->activateBank(reader, true), nullptr);
    EXPECT_EQ(master->programCount(), count);
    EXPECT_EQ(master->programName(1), "QLEM:Second");
    EXPECT_EQ(master->programName(2), "QLEM:Vocal air");
    EXPECT_DOUBLE_EQ(value("modOutGain.gain"), 1.0) << "an empty program is the defaults";

    small.preset(1)->setName("QLIO:Routing");
    CWriteSeqBuffer foreign;
    ASSERT_EQ(small.save(foreign), nullptr);
    CMemoryReader foreignReader(foreign.join());
    EXPECT_EQ(test::firstLine(master->activateBank(foreignReader, true)), "Incompatible bank.");
    EXPECT_EQ(master->programName(0), "QLEM:First");

    // More presets than programs: the extra ones are ignored.
    CAudioPresetBank large;
    large.setName("Many");
    for (int32_t p = 0; p < count + 3; ++p)
        large.addPreset().setName(CString("QLEM:Large ") + CString::fromInt(p));
    CWriteSeqBuffer largeOut;
    ASSERT_EQ(large.save(largeOut), nullptr);
    CMemoryReader largeReader(largeOut.join());
    ASSERT_EQ(master->activateBank(largeReader, true), nullptr);
    EXPECT_EQ(master->programCount(), count);
    for (int32_t p = 0; p < count; ++p)
        EXPECT_EQ(master->programName(p), CString("QLEM:Large ") + CString::fromInt(p));
    EXPECT_EQ(master->programName(count), "");
    master->selectProgram(count - 1, nullptr);
    EXPECT_EQ(master->currentProgram(), count - 1);
}

} // namespace
} // namespace qel
