// nxsim's worker threads: listed after its main thread, which alone takes commands, and never
// in the way of the main thread on the shared mutex.
#include <gtest/gtest.h>

#include <thread>

#include "link/protocol/meas_protocol.h"
#include "platform/mutex.h"
#include "tests/tools/sim_session.h"

namespace nxtest {
namespace {

// A client thread that takes the mutex and ends without releasing it: whichever of the
// stand-in's threads comes next finds it abandoned.
void AbandonTheMutex() {
    std::thread([] {
        win::HANDLE mutex = win::CreateMutexW(nullptr, win::FALSE, kMeasMutexName);
        EXPECT_NE(win::WaitForSingleObject(mutex, win::INFINITE), win::WAIT_FAILED);
        win::CloseHandle(mutex);
    }).join();
}

class WorkerThreadsTest : public testing::TestWithParam<int> {};

TEST_P(WorkerThreadsTest, OnlyTheMainThreadListedFirstTakesCommands) {
    const int workers = GetParam();
    SimSession sim("[threads]\nworkers = " + std::to_string(workers) + "\n");
    ASSERT_TRUE(sim.Start());
    std::vector<win::DWORD> threads;
    ASSERT_TRUE(WaitUntil(
        [&] { return (threads = ThreadsOf(sim.pid())).size() == std::size_t(1 + workers); }, 5s))
        << threads.size() << " threads listed";
    EXPECT_EQ(threads.front(), static_cast<win::DWORD>(sim.pid()));
    EXPECT_EQ(threads.front(), sim.thread());

    // A command posted to a worker goes nowhere: it has no queue.
    const win::UINT conf = win::RegisterWindowMessageW(kMsgConfParameter);
    for (std::size_t i = 1; i < threads.size(); ++i) {
        win::SetLastError(0);
        EXPECT_FALSE(win::PostThreadMessageW(threads[i], conf, 59, 0)) << "thread " << i;
        EXPECT_EQ(win::GetLastError(), win::ERROR_INVALID_THREAD_ID);
    }

    // Whoever finds the mutex abandoned gives it back: the main thread's next rewrite goes
    // through, and commands are still answered.
    AbandonTheMutex();
    std::this_thread::sleep_for(100ms);  // several worker beats
    ASSERT_TRUE(sim.Post(kMsgSetEdmMode, kEdmMeasure, 0));
    ASSERT_TRUE(sim.WaitFor(kMsgDataChange, 3s));
    EXPECT_EQ(sim.ReadRecord().edmState(), kEdmStateMeasuring);
    ASSERT_TRUE(sim.Post(kMsgConfParameter, 59, 0));
    EXPECT_TRUE(sim.WaitFor(kMsgListParameter, 3s));
    EXPECT_EQ(sim.Stop(), 0);
}

INSTANTIATE_TEST_SUITE_P(Workers, WorkerThreadsTest, testing::Values(0, 1, 3));

}  // namespace
}  // namespace nxtest
