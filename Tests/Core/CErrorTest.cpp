#include "Core/CError.h"

#include <gtest/gtest.h>

#include "Core/CDebugLog.h"
#include "Support/LogCapture.h"

using namespace qel;

namespace {

// clang-format off
const int kFailLine = __LINE__ + 1;
CError* failDeep() { return QEL_ERROR(CString(), "@qelstr_Test_fail_Key Value %1 of %2.", 3, 5); }
CError* passOnce() { return QEL_PASS(failDeep()); }
CError* passTwice() { return QEL_PASS_CTX(passOnce(), CString("shared::audio.modMain")); }
// clang-format on

std::string frame(int line) {
    return "Tests/Core/CErrorTest ( " + std::to_string(line) + " )";
}

} // namespace

TEST(CError, MessageFormatting) {
    const CString args[] = {"3", "5"};
    EXPECT_EQ(CError::formatMessage("@qelstr_A_b_C Value %1 of %2", args, 2), "Value 3 of 5");
    EXPECT_EQ(CError::formatMessage("@qelstr_A_b_C [%3] 100%% done", args, 2), "[] 100% done");
    EXPECT_EQ(CError::formatMessage("no identifier %1", args, 2), "no identifier 3");
    EXPECT_EQ(CError::formatMessage("@nospace", args, 2), "@nospace");
    EXPECT_EQ(CError::formatMessage("bad %x end %", args, 2), "bad  end ");
    CString wide = CString::fromUtf8("@qelstr_X_y_Z \xE2\x82\xAC%1");
    EXPECT_EQ(CError::formatMessage(wide, args, 1), CString::fromUtf8("\xE2\x82\xAC"
                                                                      "3"));
}

TEST(CError, FramesAccumulateWithRelativePathsWithoutExtension) {
    CError* error = passTwice();
    ASSERT_EQ(error->count(), 4);
    EXPECT_EQ(error->line(0), "Value 3 of 5.");
    EXPECT_EQ(error->line(1).toUtf8(), frame(kFailLine));
    EXPECT_EQ(error->line(2).toUtf8(), frame(kFailLine + 1));
    EXPECT_EQ(error->line(3).toUtf8(), frame(kFailLine + 2) + " // shared::audio.modMain");
    qelErrRelease(error);

    EXPECT_EQ(CError::frameLine("Sources/Audio/CAudioWrapper.cpp", 141, CString()),
              "Sources/Audio/CAudioWrapper ( 141 )");
    EXPECT_EQ(CError::frameLine("dir.v2/file", 1, CString("x")), "dir.v2/file ( 1 ) // x");
    CError* bare = CError::add(nullptr, "a.cpp", 2, CString(), CString(), nullptr, 0);
    EXPECT_EQ(bare->count(), 1) << "no message line without a message";
    qelErrRelease(bare);
}

namespace {
struct CapturePresenter : CErrorPresenter {
    std::vector<CString> shown;
    void present(const CString& text) override { shown.push_back(text); }
};
} // namespace

TEST(CError, ReportLogsEveryLineThenPresents) {
    test::LogCapture log;
    CapturePresenter presenter;
    qelErrSetPresenter(&presenter);
    qelErrReport(passOnce());
    qelErrReport(nullptr);
    qelErrSetWindowEnabled(false);
    qelErrReport(failDeep());
    qelErrSetWindowEnabled(true);
    qelErrLog(failDeep());
    qelErrSetPresenter(nullptr);

    ASSERT_EQ(presenter.shown.size(), 2u);
    EXPECT_EQ(presenter.shown[0].toUtf8(),
              "Value 3 of 5.\r\n" + frame(kFailLine) + "\r\n" + frame(kFailLine + 1));
    EXPECT_EQ(presenter.shown[1], "<no details>");
    ASSERT_EQ(log.lines.size(), 7u);
    EXPECT_EQ(log.lines[0], "Value 3 of 5.");
    EXPECT_EQ(log.lines[2].toUtf8(), frame(kFailLine + 1));
    EXPECT_EQ(log.lines[5], "Value 3 of 5.");
}
