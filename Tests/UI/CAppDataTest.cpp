#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

#include "Core/CMemoryReader.h"
#include "Core/CResourceContainer.h"
#include "Core/CResourceRegistry.h"
#include "Core/CWriteSeqBuffer.h"
#include "Support/TempDir.h"
#include "UI/CAppDataGlobal.h"
#include "UI/CAppDataListener.h"
#include "UI/CAppDataLocal.h"

using namespace qel;
namespace fs = std::filesystem;

namespace {

const uint32_t kData = qelFourCC("adat");

// Points the user and machine folders at a fresh temporary folder for the scope.
struct FolderEnvironment {
    test::TempDir dir;
    std::vector<std::pair<const char*, std::optional<std::string>>> saved;

    FolderEnvironment() {
        for (const char* name : {"XDG_CONFIG_HOME", "XDG_CONFIG_DIRS", "HOME"}) {
            const char* value = std::getenv(name);
            saved.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
        }
        setenv("XDG_CONFIG_HOME", dir.file("user").c_str(), 1);
        setenv("XDG_CONFIG_DIRS", (dir.file("machine") + ":/etc/xdg").c_str(), 1);
    }
    ~FolderEnvironment() {
        for (auto& [name, value] : saved)
            value ? setenv(name, value->c_str(), 1) : unsetenv(name);
    }
    std::string path(const std::string& relative) const { return dir.file(relative); }
    void place(const std::string& relative, uint32_t type, const CByteBuffer& block) const {
        fs::create_directories(fs::path(path(relative)).parent_path());
        ASSERT_EQ(CResourceContainer::save(CString::fromUtf8(path(relative)), type, block), nullptr);
    }
};

CByteBuffer bytes(std::string_view text) {
    return CByteBuffer(text.begin(), text.end());
}

// A store whose plug-in file lives in a test folder.
struct TestStore : CAppData {
    std::string module;
    explicit TestStore(std::string folder)
        : CAppData("Quelmar/Test/", "Test/", "AppDataTest_", "Quelmar/Old/"), module(std::move(folder)) {}
    CString moduleFolder() const override { return CString::fromUtf8(module); }
};

// An editor showing one entry; it reads the entry back when told of a change.
struct Editor {
    CAppData* store;
    std::vector<std::pair<int64_t, const void*>> heard;
    CByteBuffer seen;
    CAppDataListener<Editor> listener{this, &Editor::changed};

    Editor(CAppData* watched, const char* name) : store(watched) { listener.attach(watched, name); }
    void changed(const SUpdateRecord* record, const SUpdateEntry&) {
        auto* update = static_cast<const SAppDataUpdate*>(record);
        heard.emplace_back(update->key, update->source);
        store->get(*update->name, kData, seen);
    }
};

// The product's compiled-in default of name, registered here when the product does not carry one yet.
CByteBuffer compiledInDefault(const char* name, uint32_t type, const CByteBuffer& content) {
    const uint8_t* data = nullptr;
    uint32_t size = 0;
    if (!CResourceRegistry::find(name, data, size)) {
        static std::vector<std::unique_ptr<CByteBuffer>> blocks;
        CWriteSeqBuffer buffer;
        buffer.write("size", 4);
        EXPECT_EQ(buffer.writeCompressedData(content, type), nullptr);
        CByteBuffer& block = *blocks.emplace_back(std::make_unique<CByteBuffer>(buffer.join()));
        const uint32_t length = uint32_t(block.size() - 4);
        std::memcpy(block.data(), &length, 4);
        const SEmbeddedResource table[] = {{name, block.data()}, {nullptr, nullptr}};
        CResourceRegistry::registerTable(table);
        EXPECT_TRUE(CResourceRegistry::find(name, data, size));
    }
    CMemoryReaderStatic reader(data, int32_t(size));
    CByteBuffer expected;
    EXPECT_EQ(reader.readCompressedData(expected, type), nullptr);
    return expected;
}

} // namespace

TEST(CAppData, FallsBackEntryByEntryAndCaches) {
    FolderEnvironment env;
    TestStore store(env.path("plugins"));
    const std::vector<std::pair<std::string, const char*>> places = {
        {"user/Quelmar/Test/entry", "user"},
        {"machine/Quelmar/Test/entry", "machine"},
        {"user/Quelmar/Old/entry", "legacy"},
        {"plugins/Test/entry", "module"}};
    for (auto& [where, content] : places)
        env.place(where, kData, bytes(content));
    const CByteBuffer fallback = compiledInDefault("AppDataTest_entry", kData, bytes("default"));

    CByteBuffer block;
    ASSERT_TRUE(store.get("entry", kData, block));
    for (size_t i = 0; i < places.size(); ++i) {
        EXPECT_EQ(block, bytes(places[i].second));
        fs::remove(env.path(places[i].first));
        ASSERT_TRUE(store.get("entry", kData, block)) << "cached";
        EXPECT_EQ(block, bytes(places[i].second));
        ASSERT_TRUE(store.get("entry", kData, block, true)) << "reread";
    }
    EXPECT_EQ(block, fallback);
    EXPECT_FALSE(store.get("nothing", kData, block) || !block.empty());

    // The first file found decides, whatever it holds; the cache serves only the type it holds.
    env.place("machine/Quelmar/Test/typed", kData, bytes("machine"));
    env.place("user/Quelmar/Test/typed", qelFourCC("aprs"), bytes("preset"));
    EXPECT_FALSE(store.get("typed", kData, block));
    ASSERT_TRUE(store.get("typed", qelFourCC("aprs"), block));
    env.place("user/Quelmar/Test/typed", kData, bytes("rewritten"));
    ASSERT_TRUE(store.get("typed", kData, block)) << "another type than the cached one reads the file";
    EXPECT_EQ(block, bytes("rewritten"));
    std::ofstream(env.path("user/Quelmar/Test/typed")) << "damaged";
    ASSERT_TRUE(store.get("typed", kData, block, true)) << "a failed reread keeps the cached block";
    EXPECT_EQ(block, bytes("rewritten"));
}

TEST(CAppData, WritesFilesAndNotifiesOtherEditors) {
    FolderEnvironment env;
    CAppDataLocal local;
    EXPECT_EQ(local.commonDir().toUtf8(), env.path("machine") + "/Quelmar/Audio Plug-Ins/Emberline/");
    EXPECT_EQ(CAppDataGlobal().legacyDir().toUtf8(), env.path("user") + "/Quelmar/Audio Plug-Ins/");

    Editor first(&local, "uicolor-name"), second(&local, "uicolor-name"), other(&local, "ccmap");
    EXPECT_EQ(local.key("ccmap"), local.key("uicolor-name") + 1);
    local.set("uicolor-name", bytes("Ember"), &first, kData);
    EXPECT_TRUE(first.heard.empty() && other.heard.empty());
    ASSERT_EQ(second.heard.size(), 1u);
    EXPECT_EQ(second.heard[0], std::make_pair(local.key("uicolor-name"), (const void*)&first));
    EXPECT_EQ(second.seen, bytes("Ember"));

    const CString text = CString::fromUtf8("Glut \xE2\x82\xAC");
    local.setText("uicolor-name", text, nullptr);
    EXPECT_EQ(first.heard.size(), 1u);
    CString readText;
    ASSERT_TRUE(CAppDataLocal().getText("uicolor-name", readText)) << "a new store reads the file";
    EXPECT_EQ(readText, text);
    EXPECT_EQ(
        test::readWholeFile(env.path("user/Quelmar/Audio Plug-Ins/Emberline/uicolor-name")).substr(0, 4),
        "dstr");

    fs::create_directories(env.path("user/Quelmar/Audio Plug-Ins/Emberline/ccmap"));
    local.set("ccmap", bytes("map"), nullptr, kData);
    EXPECT_TRUE(other.heard.empty()) << "a failed write announces nothing";
}

TEST(CAppData, UnusableFoldersDisableOrDropWrites) {
    FolderEnvironment env;
    const CByteBuffer koren =
        compiledInDefault("AppDataLocal_koren-presets", qelFourCC("alst"), bytes("tubes"));
    CByteBuffer block;
    ASSERT_TRUE(CAppDataLocal().get("koren-presets", qelFourCC("alst"), block)) << "no file anywhere";
    EXPECT_EQ(block, koren);

    // Without a user folder the store is off: it yields nothing, even where the machine has files,
    // and writes go nowhere; its compiled-in default is still there for callers.
    env.place("machine/Quelmar/Audio Plug-Ins/Emberline/koren-presets", qelFourCC("alst"), bytes("machine"));
    unsetenv("XDG_CONFIG_HOME");
    unsetenv("HOME");
    CAppDataLocal homeless;
    Editor editor(&homeless, "default-preset");
    homeless.set("default-preset", bytes("x"), nullptr, kData);
    EXPECT_TRUE(homeless.isDisabled() && editor.heard.empty());
    EXPECT_FALSE(homeless.get("default-preset", kData, block)) << "dropped, not cached";
    EXPECT_FALSE(homeless.get("koren-presets", qelFourCC("alst"), block));
    ASSERT_TRUE(homeless.getDefault("koren-presets", qelFourCC("alst"), block));
    EXPECT_EQ(block, koren);
    EXPECT_EQ(homeless.commonDir(), "");

    std::ofstream(env.path("blocked")) << "a file where the folders should go";
    setenv("XDG_CONFIG_HOME", env.path("blocked").c_str(), 1);
    CAppDataLocal unwritable;
    editor.listener.attach(&unwritable, "default-preset");
    unwritable.set("default-preset", bytes("x"), nullptr, kData);
    EXPECT_TRUE(!unwritable.isDisabled() && editor.heard.empty());
    EXPECT_FALSE(unwritable.get("default-preset", kData, block)) << "dropped, not cached";
}

TEST(CAppData, ConcurrentWritersKeepEntriesWhole) {
    FolderEnvironment env;
    TestStore store(env.path("plugins"));
    Editor watcher(&store, "shared");
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&store, t] {
            for (int i = 0; i < 40; ++i)
                store.set("shared", CByteBuffer(size_t(100 + i), uint8_t(t)), &store, kData);
        });
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(watcher.heard.size(), 160u);
    CByteBuffer block;
    ASSERT_TRUE(TestStore(env.path("plugins")).get("shared", kData, block));
    EXPECT_EQ(block.size(), 139u) << "some thread's last write, whole";
}
