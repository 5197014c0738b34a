#include "Core/CDebugLog.h"

#include <gtest/gtest.h>

#include "Support/LogCapture.h"
#include "Support/TempDir.h"

using namespace qel;

TEST(CDebugLog, FileIsTruncatedOnFirstWriteThenAppended) {
    test::TempDir dir;
    std::string path = dir.file("log.txt");
    {
        std::ofstream stale(path);
        stale << "from an earlier run\n";
    }
    CDebugLog::setFilePath(CString::fromUtf8(path));
    CDebugLog::writeLine("first");
    CDebugLog::write("partial", false);
    CDebugLog::writeLine(CString::fromUtf8(" \xE2\x82\xAC"), CString("plugin.audio"));
    CDebugLog::setFilePath(CString());
    CDebugLog::writeLine("not written");
    EXPECT_EQ(test::readWholeFile(path), "first\r\npartial \xE2\x82\xAC // plugin.audio\r\n");

    test::TempDir unwritable;
    CDebugLog::setFilePath(CString::fromUtf8(unwritable.file("missing/folder/log.txt")));
    CDebugLog::writeLine("dropped without harm");
    CDebugLog::setFilePath(CString());
}

TEST(CDebugLog, ContextAndTimingLines) {
    test::LogCapture log;
    CDebugLog::setContext("Emberline #2");
    CDebugLog::writeLine("line");
    CDebugLog::setContext(CString());
    CDebugLog::logTiming("VST entry time: %.4f s @ %.4f s", 0.00125);
    ASSERT_EQ(log.lines.size(), 2u);
    EXPECT_EQ(log.lines[0], "line // Emberline #2");
    std::string timing = log.lines[1].toUtf8();
    double duration = 0, since = -1;
    ASSERT_EQ(std::sscanf(timing.c_str(), "VST entry time: %lf s @ %lf s", &duration, &since), 2) << timing;
    EXPECT_DOUBLE_EQ(duration, 0.0013);
    EXPECT_GE(since, 0.0);
    EXPECT_LT(since, 600.0);
    EXPECT_LE(CDebugLog::secondsSinceLoad() - since, 600.0);
}
