#include <gtest/gtest.h>

#include <fstream>
#include <random>

#include "Audio/Params/CAudioParamStorage.h"
#include "Audio/Params/CAudioPresetBank.h"
#include "Audio/ProductStartup.h"
#include "Core/CApplication.h"
#include "Core/CMemoryReader.h"
#include "Core/CWriteSeqBuffer.h"
#include "ResourceEmbedder/EmbeddedResources.h"
#include "Support/ErrorText.h"
#include "Support/TempDir.h"
#include "UI/CAppDataLocal.h"

namespace qel {
namespace {

CByteBuffer bytesOf(const CAudioPreset& preset) {
    CWriteSeqBuffer out;
    EXPECT_EQ(preset.save(out), nullptr);
    return out.join();
}

void fillSample(CAudioPresetBank& bank) {
    bank.setName("Mine");
    CAudioPreset& first = bank.addPreset();
    first.setName("QLKR:Warm");
    first.setEntry("mu", {1, 2, 3});
    first.setEntry("Imax", {});
    bank.addPreset().setName("Plain");
}

TEST(CAudioPresetTest, BlocksHaveTheirLayoutAndRoundTrip) {
    CAudioPreset preset;
    preset.setName("ID:x");
    preset.setEntry("b", {9});
    preset.setEntry("a", {7, 8});
    // Name, count, then entries in ascending key order: key, byte count, bytes.
    EXPECT_EQ(bytesOf(preset), (CByteBuffer{4, 0, 0, 0, 'I', 'D', ':', 'x', 2, 0, 0, 0, //
                                            1, 0, 0, 0, 'a', 2,   0,   0,   0, 7, 8,    //
                                            1, 0, 0, 0, 'b', 1,   0,   0,   0, 9}));
    EXPECT_EQ(preset.idPart(), "ID");
    EXPECT_EQ(preset.ownName(), "x");
    preset.setName("NoColon");
    EXPECT_EQ(preset.idPart(), "NoColon");

    CAudioPresetBank bank;
    fillSample(bank);
    CWriteSeqBuffer out;
    ASSERT_EQ(bank.save(out), nullptr);
    CMemoryReader reader(out.join());
    CAudioPresetBank copy;
    ASSERT_EQ(copy.load(reader), nullptr);
    EXPECT_EQ(copy.name(), "Mine");
    ASSERT_EQ(copy.presetCount(), 2);
    EXPECT_EQ(copy.preset(0)->entries(), bank.preset(0)->entries());
    EXPECT_EQ(copy.preset(1)->name(), "Plain");
    EXPECT_EQ(copy.preset(2), nullptr);

    // Lists: the first bank, or none.
    CWriteSeqBuffer list;
    ASSERT_EQ(CAudioPresetBank::saveList(list, {&bank, &copy}), nullptr);
    CMemoryReader listReader(list.join());
    CAudioPresetBank first;
    bool found = false;
    ASSERT_EQ(CAudioPresetBank::loadFirstOfList(listReader, first, found), nullptr);
    EXPECT_TRUE(found);
    EXPECT_EQ(first.presetCount(), 2);
    CMemoryReader empty(CByteBuffer{0, 0, 0, 0});
    ASSERT_EQ(CAudioPresetBank::loadFirstOfList(empty, first, found), nullptr);
    EXPECT_FALSE(found);
}

TEST(CAudioPresetTest, FilesNameWhatIsWrongWithThem) {
    test::TempDir dir;
    CAudioPresetBank bank;
    fillSample(bank);
    const CString bankPath = CString::fromUtf8(dir.file("bank.cbf"));
    const CString presetPath = CString::fromUtf8(dir.file("preset.cpf"));
    ASSERT_EQ(bank.saveFile(bankPath), nullptr);
    ASSERT_EQ(bank.preset(0)->saveFile(presetPath), nullptr);

    CAudioPresetBank loadedBank;
    ASSERT_EQ(loadedBank.loadFile(bankPath), nullptr);
    EXPECT_EQ(loadedBank.presetCount(), 2);
    CAudioPreset loadedPreset;
    ASSERT_EQ(loadedPreset.loadFile(presetPath), nullptr);
    EXPECT_EQ(loadedPreset.name(), "QLKR:Warm");

    EXPECT_EQ(test::firstLine(loadedPreset.loadFile(bankPath)),
              "'" + dir.file("bank.cbf") + "' holds no preset.");
    EXPECT_EQ(test::firstLine(loadedBank.loadFile(presetPath)),
              "'" + dir.file("preset.cpf") + "' holds no bank.");
    EXPECT_EQ(loadedBank.presetCount(), 2) << "a failed load changes nothing";
    std::ofstream(dir.file("text.cbf")) << "not a bank at all";
    EXPECT_NE(test::firstLine(loadedBank.loadFile(CString::fromUtf8(dir.file("text.cbf")))), "");
    EXPECT_EQ(test::firstLine(loadedBank.loadFile(CString::fromUtf8(dir.file("none.cbf")))),
              "Unable to open file '" + dir.file("none.cbf") + "' for reading (error 2).");
}

TEST(CAudioPresetTest, RandomAndMutatedBlocksFailCleanly) {
    CAudioPresetBank bank;
    fillSample(bank);
    CWriteSeqBuffer out;
    ASSERT_EQ(bank.save(out), nullptr);
    const CByteBuffer seed = out.join();
    std::mt19937 random(1234);
    for (int round = 0; round < 3000; ++round) {
        CByteBuffer bytes = seed;
        if (round % 3 == 0) {
            bytes.resize(random() % 64);
            for (uint8_t& b : bytes)
                b = uint8_t(random());
        } else {
            for (int flips = 1 + int(random() % 4); flips > 0; --flips)
                bytes[random() % bytes.size()] = uint8_t(random());
            if (round % 3 == 2) bytes.resize(random() % bytes.size());
        }
        CMemoryReader reader(bytes);
        CAudioPresetBank loaded;
        if (CError* error = loaded.load(reader)) {
            qelErrRelease(error);
            EXPECT_EQ(loaded.presetCount(), 0);
        }
        CMemoryReader presetReader(bytes);
        CAudioPreset preset;
        qelErrRelease(preset.load(presetReader));
    }
}

TEST(CAudioPresetTest, FactoryTubeModelsAreTheCompiledInDefaultOfTheirStoreEntry) {
    ASSERT_EQ(qelProductStartup(g_embeddedResources), nullptr);
    CByteBuffer list;
    ASSERT_TRUE(CAppDataLocal::instance().get("koren-presets", CAudioPresetBank::kListType, list));
    CMemoryReader reader(list);
    CAudioPresetBank models;
    bool found = false;
    ASSERT_EQ(CAudioPresetBank::loadFirstOfList(reader, models, found), nullptr);
    ASSERT_EQ(models.presetCount(), 7);
    const char* names[] = {"QLKR:5842",   "QLKR:12AT7", "QLKR:6DJ8", "QLKR:12AX7",
                           "QLKR:12AX7A", "QLKR:6550",  "QLKR:7250"};
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(models.preset(i)->name(), names[i]);
        EXPECT_EQ(models.preset(i)->entries().size(), 10u) << names[i];
    }
    auto value = [&](int model, const char* param) {
        CMemoryReader entry(models.preset(model)->entries().at(param));
        CAudioParamStorage storage;
        storage.setShape(1, 0, false, false);
        EXPECT_EQ(storage.load(entry), nullptr);
        return storage.getValue(0, 0, -1);
    };
    EXPECT_EQ(value(3, "mu"), 100.0);
    EXPECT_EQ(value(3, "mult"), 0.8770008211436348);
    EXPECT_EQ(value(4, "kP"), 699.73);
    EXPECT_EQ(value(5, "Imax"), 25.0);
    CApplication::shutdown();
}

} // namespace
} // namespace qel
