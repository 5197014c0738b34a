#include <atomic>
#include <cstdlib>
#include <gtest/gtest.h>

#include "Core/Platform/CCriticalSection.h"
#include "Core/Platform/CEvent.h"
#include "Core/Platform/CPlatformThread.h"
#include "Core/Platform/PlatformFolders.h"
#include "Core/Platform/PlatformSystem.h"
#include "Support/TempDir.h"

using namespace qel;

TEST(Platform, CountersAndProcessorCount) {
    int64_t a = platform::performanceCounter();
    int64_t b = platform::performanceCounter();
    EXPECT_LE(a, b);
    EXPECT_EQ(platform::performanceFrequency(), 1000000000);
    EXPECT_GE(platform::processorCount(), 1);
}

TEST(Platform, ThreadsEventsAndRecursiveLock) {
    struct Shared {
        CCriticalSection lock;
        CEvent started;
        CEvent proceed;
        std::atomic<int> value{0};
    } shared;
    CPlatformThread thread;
    ASSERT_EQ(thread.start(
                  [](void* raw) {
                      auto* s = static_cast<Shared*>(raw);
                      s->started.set();
                      s->proceed.wait();
                      CCriticalSectionGuard outer(s->lock);
                      CCriticalSectionGuard inner(s->lock); // recursive
                      s->value = 42;
                  },
                  &shared),
              0);
    EXPECT_TRUE(shared.started.wait(5000));
    EXPECT_FALSE(shared.started.wait(0)) << "auto-reset";
    {
        CCriticalSectionGuard guard(shared.lock);
        shared.proceed.set();
        EXPECT_EQ(shared.value.load(), 0);
    }
    thread.join();
    EXPECT_EQ(shared.value.load(), 42);

    CEvent manual(true);
    manual.set();
    EXPECT_TRUE(manual.wait(0));
    EXPECT_TRUE(manual.wait(0)) << "manual reset stays set";
    manual.reset();
    EXPECT_FALSE(manual.wait(1));
}

TEST(Platform, FoldersFollowTheEnvironment) {
    test::TempDir dir;
    CString saved = platform::environmentVariable("XDG_CONFIG_HOME");
    setenv("XDG_CONFIG_HOME", dir.path.c_str(), 1);
    EXPECT_EQ(platform::userDataFolder(), CString::fromUtf8(dir.path.string()));
    unsetenv("XDG_CONFIG_HOME");
    CString savedHome = platform::environmentVariable("HOME");
    setenv("HOME", "/home/someone", 1);
    EXPECT_EQ(platform::userDataFolder(), "/home/someone/.config");
    unsetenv("HOME");
    EXPECT_EQ(platform::userDataFolder(), "") << "stores are disabled without a home";
    setenv("HOME", savedHome.toUtf8().c_str(), 1);
    if (!saved.isEmpty()) setenv("XDG_CONFIG_HOME", saved.toUtf8().c_str(), 1);

    CString sub = CString::fromUtf8(dir.file("Quelmar"));
    EXPECT_FALSE(platform::pathExists(sub));
    EXPECT_EQ(platform::createDirectory(sub), 0);
    EXPECT_EQ(platform::createDirectory(sub), 0) << "existing folder";
    EXPECT_TRUE(platform::isDirectory(sub));
    EXPECT_NE(platform::createDirectory(CString::fromUtf8(dir.file("no/such/parent"))), 0);
    EXPECT_FALSE(platform::libraryFolder().isEmpty());
}
