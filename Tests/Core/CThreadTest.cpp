#include "Core/CThread.h"

#include <atomic>
#include <functional>
#include <gtest/gtest.h>

#include "Core/Platform/CEvent.h"
#include "Core/Platform/PlatformSystem.h"
#include "Support/ErrorText.h"
#include "Support/LogCapture.h"

using namespace qel;

namespace {

class TestThread : public CThread {
public:
    explicit TestThread(std::function<CError*(TestThread&)> body) : m_body(std::move(body)) {}
    ~TestThread() override { stop(); }

    using CThread::isStopRequested;
    using CThread::stopEvent;

    std::atomic<int> runs{0};
    std::atomic<uint64_t> bodyThreadId{0};

protected:
    CError* run() override {
        ++runs;
        bodyThreadId = platform::currentThreadId();
        return m_body(*this);
    }

private:
    std::function<CError*(TestThread&)> m_body;
};

CError* waitForStop(TestThread& self) {
    self.stopEvent().wait();
    return nullptr;
}

struct CapturePresenter : CErrorPresenter {
    std::vector<CString> shown;
    CapturePresenter() { qelErrSetPresenter(this); }
    ~CapturePresenter() override { qelErrSetPresenter(nullptr); }
    void present(const CString& text) override { shown.push_back(text); }
};

} // namespace

TEST(CThread, RunsUntilStoppedAndRunsAgainAfterStop) {
    std::atomic<bool> sawStopRequest{false};
    std::atomic<int> requestedAtStart{0};
    CEvent entered;
    TestThread thread([&](TestThread& self) {
        if (self.isStopRequested()) ++requestedAtStart;
        entered.set();
        self.stopEvent().wait();
        sawStopRequest = self.isStopRequested();
        return nullptr;
    });
    EXPECT_FALSE(thread.isRunning());
    thread.stop(); // nothing to stop

    ASSERT_EQ(thread.runThread(false), nullptr);
    EXPECT_TRUE(thread.isRunning());
    EXPECT_NE(thread.threadId(), 0u);
    EXPECT_NE(thread.threadId(), uint32_t(platform::currentThreadId()));
    EXPECT_EQ(test::firstLine(thread.runThread(false)), "Thread is already running.");
    EXPECT_TRUE(thread.isRunning()) << "the failed start leaves the running thread alone";

    entered.wait();
    thread.stop();
    EXPECT_FALSE(thread.isRunning());
    EXPECT_EQ(thread.runs.load(), 1);
    EXPECT_TRUE(sawStopRequest.load());
    EXPECT_EQ(uint32_t(thread.bodyThreadId.load()), thread.threadId());

    ASSERT_EQ(thread.runThread(true), nullptr) << "time-critical is requested, or skipped when not permitted";
    EXPECT_TRUE(thread.isRunning());
    entered.wait(); // the previous stop request must not be seen by the new body
    thread.stop();
    EXPECT_EQ(thread.runs.load(), 2);
    EXPECT_EQ(requestedAtStart.load(), 0);
}

TEST(CThread, AStopSignalNoBodyWaitedForDoesNotEndTheNextRun) {
    std::atomic<int> staleSignals{0};
    CEvent checked;
    bool returnAtOnce = true;
    TestThread thread([&](TestThread& self) -> CError* {
        if (returnAtOnce) return nullptr;
        if (self.stopEvent().wait(0)) ++staleSignals;
        checked.set();
        self.stopEvent().wait();
        return nullptr;
    });
    ASSERT_EQ(thread.runThread(false), nullptr);
    thread.stop(); // the body has returned or will without consuming the signal
    returnAtOnce = false;
    ASSERT_EQ(thread.runThread(false), nullptr);
    checked.wait(); // a stop sent before the check would be taken for a stale one
    thread.stop();
    EXPECT_EQ(staleSignals.load(), 0);
    EXPECT_EQ(thread.runs.load(), 2);
}

TEST(CThread, NameIsRegisteredOnlyWhileRunning) {
    TestThread named(waitForStop), anonymous(waitForStop);
    named.setThreadName("Timer thread");
    ASSERT_EQ(named.runThread(false), nullptr);
    ASSERT_EQ(anonymous.runThread(false), nullptr);
    EXPECT_EQ(CThread::registeredName(named.threadId()), "Timer thread");
    EXPECT_EQ(CThread::registeredName(anonymous.threadId()), "");

    const uint32_t id = named.threadId();
    named.setThreadName("Renamed");
    named.stop();
    EXPECT_EQ(CThread::registeredName(id), "") << "removed even though the name changed meanwhile";

    ASSERT_EQ(named.runThread(false), nullptr);
    EXPECT_EQ(CThread::registeredName(named.threadId()), "Renamed");
    named.setThreadName(CString());
    named.stop();
    EXPECT_EQ(CThread::registeredName(named.threadId()), "");
    anonymous.stop();
}

TEST(CThread, ErrorReturnedByTheBodyIsReported) {
    test::LogCapture log;
    CapturePresenter presenter;
    const int failLine = __LINE__ + 2;
    TestThread thread(
        [](TestThread&) { return QEL_ERROR(CString(), "@qelstr_Test_run_Failed Body failed with %1.", 7); });
    ASSERT_EQ(thread.runThread(false), nullptr);
    thread.stop(); // joins, so the report is complete

    const std::string frame = "Tests/Core/CThreadTest ( " + std::to_string(failLine) + " )";
    ASSERT_EQ(presenter.shown.size(), 1u);
    EXPECT_EQ(presenter.shown[0].toUtf8(), "Body failed with 7.\r\n" + frame);
    ASSERT_EQ(log.lines.size(), 2u);
    EXPECT_EQ(log.lines[0], "Body failed with 7.");
    EXPECT_EQ(log.lines[1].toUtf8(), frame);
}

TEST(CThread, DestroyingARunningThreadStopsIt) {
    std::atomic<bool> returned{false};
    {
        TestThread thread([&](TestThread& self) {
            self.stopEvent().wait();
            returned = true;
            return nullptr;
        });
        ASSERT_EQ(thread.runThread(false), nullptr);
    }
    EXPECT_TRUE(returned.load());
}
