#include "Core/CSystem.h"

#include <cerrno>
#include <cstdlib>
#include <gtest/gtest.h>
#include <optional>
#include <string>

#include "Support/ErrorText.h"
#include "Support/TempDir.h"

using namespace qel;

namespace {

// Sets or clears an environment variable for the scope, restoring the previous state afterwards.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : m_name(name) {
        if (const char* old = std::getenv(name)) m_saved = old;
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    ~ScopedEnv() {
        if (m_saved)
            setenv(m_name, m_saved->c_str(), 1);
        else
            unsetenv(m_name);
    }

private:
    const char* m_name;
    std::optional<std::string> m_saved;
};

} // namespace

TEST(CSystem, DataFoldersFollowTheEnvironmentWithForwardSlashes) {
    test::TempDir dir;
    {
        ScopedEnv config("XDG_CONFIG_HOME", nullptr);
        ScopedEnv home("HOME", dir.path.c_str());
        EXPECT_EQ(CSystem::userAppDataFolder().toUtf8(), dir.path.string() + "/.config");
    }
    {
        ScopedEnv config("XDG_CONFIG_HOME", (dir.path.string() + "\\Quelmar\\data").c_str());
        EXPECT_EQ(CSystem::userAppDataFolder().toUtf8(), dir.path.string() + "/Quelmar/data");
    }
    {
        ScopedEnv config("XDG_CONFIG_HOME", nullptr);
        ScopedEnv home("HOME", nullptr);
        EXPECT_EQ(CSystem::userAppDataFolder(), "") << "no folder without a home";
    }
    {
        ScopedEnv common("XDG_CONFIG_DIRS", "\\srv\\xdg:/etc/xdg");
        EXPECT_EQ(CSystem::commonAppDataFolder().toUtf8(), "/srv/xdg");
    }

    CString library = CSystem::libraryFolder();
    EXPECT_FALSE(library.isEmpty());
    EXPECT_EQ(library.find('\\'), CString::npos);
    EXPECT_TRUE(CSystem::isDirectory(library));
}

TEST(CSystem, CreateDirectoriesMakesEveryMissingLevel) {
    test::TempDir dir;
    const std::string base = dir.path.string();
    EXPECT_EQ(CSystem::createDirectories(CString::fromUtf8(base + "/a/b/c")), nullptr);
    EXPECT_TRUE(CSystem::isDirectory(CString::fromUtf8(base + "/a")));
    EXPECT_TRUE(CSystem::isDirectory(CString::fromUtf8(base + "/a/b/c")));

    EXPECT_EQ(CSystem::createDirectories(CString::fromUtf8(base + "/a/b/c")), nullptr) << "all levels exist";
    EXPECT_EQ(CSystem::createDirectories(CString::fromUtf8(base + "/a//d/e/")), nullptr)
        << "doubled and trailing separators";
    EXPECT_TRUE(CSystem::isDirectory(CString::fromUtf8(base + "/a/d/e")));
    EXPECT_EQ(CSystem::createDirectories(CString::fromUtf8(base + "/x\\y")), nullptr);
    EXPECT_TRUE(CSystem::isDirectory(CString::fromUtf8(base + "/x/y"))) << "backslashes separate levels";
}

TEST(CSystem, CreateDirectoriesStopsAtALevelThatIsAFile) {
    test::TempDir dir;
    const std::string file = dir.file("plain");
    std::ofstream(file) << "x";
    EXPECT_FALSE(CSystem::isDirectory(CString::fromUtf8(file)));
    EXPECT_FALSE(CSystem::isDirectory(CString::fromUtf8(dir.file("missing"))));

    EXPECT_EQ(test::firstLine(CSystem::createDirectories(CString::fromUtf8(file + "/sub/deeper"))),
              "Unable to create directory '" + file + "' (error " + std::to_string(EEXIST) + ").");
    EXPECT_FALSE(std::filesystem::exists(file + "/sub"));
}
