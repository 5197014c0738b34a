#include <gtest/gtest.h>

#include <cstdlib>

#include "Support/TempDir.h"

namespace qel::test {
namespace {

// Every test program runs with empty user and machine data folders of its own and without a display,
// so that no test reads or writes the real ones; tests that need particular folders set their own.
class CIsolatedHome : public ::testing::Environment {
public:
    void SetUp() override {
        setenv("HOME", m_dir.file("home").c_str(), 1);
        setenv("XDG_CONFIG_HOME", m_dir.file("config").c_str(), 1);
        setenv("XDG_CONFIG_DIRS", m_dir.file("machine").c_str(), 1);
        // No test opens a window on the developer's screen; the ones that need a display start their own.
        unsetenv("DISPLAY");
    }

private:
    TempDir m_dir;
};

[[maybe_unused]] ::testing::Environment* const g_isolatedHome =
    ::testing::AddGlobalTestEnvironment(new CIsolatedHome);

} // namespace
} // namespace qel::test
