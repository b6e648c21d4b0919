// Each fault key of the stand-in's scenario does what it says.
#include <gtest/gtest.h>

#include "link/protocol/meas_protocol.h"
#include "platform/mutex.h"
#include "tests/tools/sim_session.h"

namespace nxtest {
namespace {

using Clock = std::chrono::steady_clock;

int Count(const std::vector<win::MSG>& messages, std::u16string_view name) {
    const win::UINT id = win::RegisterWindowMessageW(name);
    int n = 0;
    for (const win::MSG& m : messages) n += m.message == id;
    return n;
}

// The shared mutex, opened by the test as the bridge opens it.
class SharedMutex {
  public:
    SharedMutex() : handle_(win::CreateMutexW(nullptr, win::FALSE, kMeasMutexName)) {}
    ~SharedMutex() { win::CloseHandle(handle_); }
    // True when another thread holds it at this moment.
    bool HeldElsewhere() {
        if (win::WaitForSingleObject(handle_, 0) == win::WAIT_TIMEOUT) return true;
        win::ReleaseMutex(handle_);
        return false;
    }
    win::HANDLE get() const { return handle_; }

  private:
    win::HANDLE handle_;
};

TEST(NxsimFaultTest, IgnoreConfLeavesThoseRequestsUnanswered) {
    SimSession sim("[faults]\nignore_conf = 59, 57\n[params]\np58 = 8\np56 = 6\n");
    ASSERT_TRUE(sim.Start());
    for (win::WPARAM n : {11, 59, 58, 57, 56}) ASSERT_TRUE(sim.Post(kMsgConfParameter, n, 0));
    std::vector<std::pair<win::WPARAM, win::LPARAM>> answers;
    for (const win::MSG& m : sim.Collect(400ms))
        if (m.message == win::RegisterWindowMessageW(kMsgListParameter))
            answers.emplace_back(m.wParam, m.lParam);
    EXPECT_EQ(answers,
              (std::vector<std::pair<win::WPARAM, win::LPARAM>>{{11, 0}, {58, 8}, {56, 6}}));
}

TEST(NxsimFaultTest, HoldMutexKeepsTheMutexThroughEachRewrite) {
    // Without workers, whose brief looks at the record would blur who holds the mutex.
    SimSession sim("[faults]\nhold_mutex_ms = 400\n[threads]\nworkers = 0\n");
    SharedMutex mutex;
    ASSERT_TRUE(sim.Start());
    ASSERT_FALSE(mutex.HeldElsewhere());
    const auto posted = Clock::now();
    ASSERT_TRUE(sim.Post(kMsgSetEdmMode, kEdmStop, 0));
    EXPECT_TRUE(WaitUntil([&] { return mutex.HeldElsewhere(); }, 3s));
    // The notification follows the release.
    ASSERT_TRUE(sim.WaitFor(kMsgDataChange));
    EXPECT_GE(Clock::now() - posted, 400ms);
    EXPECT_FALSE(mutex.HeldElsewhere());
}

TEST(NxsimFaultTest, DieHoldingMutexLeavesItAbandonedOnce) {
    SimSession sim("[faults]\ndie_holding_mutex_ms = 200\n");
    SharedMutex mutex;
    sim.Launch();
    EXPECT_EQ(sim.WaitExit(5s), -1);  // ended by a signal, not by an exit
    EXPECT_EQ(win::WaitForSingleObject(mutex.get(), 1000), win::WAIT_ABANDONED);
    EXPECT_TRUE(win::ReleaseMutex(mutex.get()));
    EXPECT_EQ(win::WaitForSingleObject(mutex.get(), 1000), win::WAIT_OBJECT_0);
    EXPECT_TRUE(win::ReleaseMutex(mutex.get()));

    // A later stand-in starts and works over what the dead one left.
    SimSession next("[edm]\nmeasure_ms = 0\n");
    ASSERT_TRUE(next.Start());
    ASSERT_TRUE(next.Post(kMsgSetEdmMode, kEdmMeasureOnce, 0));
    ASSERT_TRUE(next.WaitFor(kMsgDataChange));
    ASSERT_TRUE(next.WaitFor(kMsgDataChange));
    EXPECT_EQ(next.ReadRecord().distanceValid(), 1);
}

TEST(NxsimFaultTest, ExitAfterEndsNormallyAndClosesTheQueue) {
    SimSession sim("[faults]\nexit_after_ms = 1000\n");
    ASSERT_TRUE(sim.Start());
    const win::DWORD thread = sim.thread();
    EXPECT_EQ(sim.WaitExit(), 0);
    EXPECT_FALSE(win::PostThreadMessageW(thread, win::RegisterWindowMessageW(kMsgSetEdmMode),
                                         kEdmMeasure, 0));
}

TEST(NxsimFaultTest, StartDelayHoldsBackTheQueue) {
    SimSession sim("[faults]\nstart_delay_ms = 800\n");
    const auto started = Clock::now();
    sim.Launch();
    win::DWORD thread = 0;
    ASSERT_TRUE(WaitUntil([&] { return (thread = FirstThreadOf(sim.pid())) != 0; }, 2s));
    const win::UINT conf = win::RegisterWindowMessageW(kMsgConfParameter);
    const bool earlyPost = win::PostThreadMessageW(thread, conf, 11, 0);
    if (Clock::now() - started < 700ms) {
        EXPECT_FALSE(earlyPost);
    }
    ASSERT_TRUE(sim.WaitFor(kMsgDataChange, 5s));
    EXPECT_GE(Clock::now() - started, 800ms);
    EXPECT_TRUE(win::PostThreadMessageW(thread, conf, 11, 0));
    EXPECT_TRUE(sim.WaitFor(kMsgListParameter));
}

TEST(NxsimFaultTest, TiltOverIsPostedOnce) {
    SimSession sim("[notify]\ntilt_over_ms = 150\n");
    const auto started = Clock::now();
    ASSERT_TRUE(sim.Start());
    ASSERT_TRUE(sim.WaitFor(kMsgTiltOver));
    EXPECT_GE(Clock::now() - started, 150ms);
    EXPECT_EQ(Count(sim.Collect(400ms), kMsgTiltOver), 0);
}

TEST(NxsimFaultTest, WithoutNotifyKeysOnlyRewritesNotify) {
    SimSession sim("");
    ASSERT_TRUE(sim.Start());
    auto quiet = sim.Collect(300ms);
    EXPECT_EQ(Count(quiet, kMsgDataChange), 0);
    EXPECT_EQ(Count(quiet, kMsgTiltOver), 0);
}

}  // namespace
}  // namespace nxtest
