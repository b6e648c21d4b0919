// Named mutexes between processes: abandonment, racing creators, ownership.
#include "platform/mutex.h"

#include <gtest/gtest.h>

#include <thread>

#include "platform/section.h"
#include "platform/unicode.h"
#include "tests/platform/contract.h"
#include "tests/platform/known_differences.h"

namespace {

using namespace win;
using namespace nxtest;

struct Holder {
    const char* verb;  // how the peer takes the mutex
    bool kill;         // whether the test then kills it (else it exits by itself)
};

void PrintTo(const Holder& holder, std::ostream* os) {
    *os << holder.verb;
}

class AbandonedMutex : public testing::TestWithParam<Holder> {};

// The test holds a handle throughout: a named object lives while one is open, on both platforms.
TEST_P(AbandonedMutex, IsReportedOnceAndThenWorksNormally) {
    const std::string name = std::string("ABANDON_") + GetParam().verb;
    HANDLE m = CreateMutexW(nullptr, FALSE, Utf8ToUtf16(name));
    ASSERT_NE(m, nullptr);
    Peer holder({GetParam().verb, name});
    ASSERT_EQ(holder.Line(0), "acquired");
    if (GetParam().kill) holder.Kill();
    holder.Wait();

    EXPECT_EQ(WaitForSingleObject(m, INFINITE), WAIT_ABANDONED);
    EXPECT_TRUE(ReleaseMutex(m));
    EXPECT_EQ(WaitForSingleObject(m, INFINITE), WAIT_OBJECT_0);
    EXPECT_TRUE(ReleaseMutex(m));
    // Another process finds it in order too.
    EXPECT_EQ(RunPeer({"lock-and-die", name}), "acquired\n");
    CloseHandle(m);
}

INSTANTIATE_TEST_SUITE_P(Holders, AbandonedMutex,
                         testing::Values(Holder{"lock-and-die", false},
                                         Holder{"lock-and-hold", true}),
                         [](const auto& info) {
                             return std::string(info.param.kill ? "Killed" : "Exited");
                         });

// A holder that dies with the mutex's last handle: see kObjectsOutliveTheirHandles.
TEST(Mutex, AbandonedWithItsLastHandle) {
    EXPECT_EQ(RunPeer({"lock-and-die", "LAST"}), "acquired\n");
    HANDLE m = CreateMutexW(nullptr, FALSE, u"LAST");
    EXPECT_EQ(WaitForSingleObject(m, INFINITE),
              OnThisPlatform(kObjectsOutliveTheirHandles) ? WAIT_ABANDONED : WAIT_OBJECT_0);
    CloseHandle(m);
}

TEST(Mutex, TimedWaitsTimeOutWhileAnotherProcessHoldsIt) {
    Peer holder({"lock-and-hold", "HELD"});
    ASSERT_EQ(holder.Line(0), "acquired");
    HANDLE m = CreateMutexW(nullptr, FALSE, u"HELD");
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    EXPECT_EQ(WaitForSingleObject(m, 0), WAIT_TIMEOUT);
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(WaitForSingleObject(m, 100), WAIT_TIMEOUT);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(100));
    holder.Kill();
    EXPECT_EQ(WaitForSingleObject(m, INFINITE), WAIT_ABANDONED);
    EXPECT_TRUE(ReleaseMutex(m));
    CloseHandle(m);
}

TEST(Mutex, OwnershipIsPerThreadAndRecursive) {
    HANDLE m = CreateMutexW(nullptr, FALSE, u"RECURSIVE");
    ASSERT_NE(m, nullptr);
    SetLastError(0);
    EXPECT_FALSE(ReleaseMutex(m));
    EXPECT_EQ(GetLastError(), ERROR_NOT_OWNER);
    ASSERT_EQ(WaitForSingleObject(m, INFINITE), WAIT_OBJECT_0);
    ASSERT_EQ(WaitForSingleObject(m, INFINITE), WAIT_OBJECT_0);
    std::thread([m] {
        EXPECT_FALSE(ReleaseMutex(m));
        EXPECT_EQ(GetLastError(), ERROR_NOT_OWNER);
        EXPECT_EQ(WaitForSingleObject(m, 0), WAIT_TIMEOUT);
    }).join();
    EXPECT_TRUE(ReleaseMutex(m));
    EXPECT_TRUE(ReleaseMutex(m));
    EXPECT_FALSE(ReleaseMutex(m));
    // A second handle in the same process names the same mutex.
    HANDLE again = CreateMutexW(nullptr, FALSE, u"RECURSIVE");
    ASSERT_EQ(WaitForSingleObject(again, INFINITE), WAIT_OBJECT_0);
    EXPECT_TRUE(ReleaseMutex(m));
    CloseHandle(again);
    CloseHandle(m);
}

TEST(Mutex, RacingCreatorsShareOneMutexThatExcludesThemAll) {
    constexpr int kPeers = 4, kRounds = 3000;
    // All start counting at once, a second from now (milliseconds since the epoch).
    const auto startAt = std::chrono::duration_cast<std::chrono::milliseconds>(
        (std::chrono::system_clock::now() + 1s).time_since_epoch());
    HANDLE section =
        CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 120, u"COUNTER");
    auto* counter = static_cast<long*>(MapViewOfFile(section, FILE_MAP_ALL_ACCESS, 0, 0, 0));
    ASSERT_NE(counter, nullptr);
    std::vector<Peer> peers;
    for (int i = 0; i < kPeers; ++i)
        peers.emplace_back(std::vector<std::string>{"count", "RACED", std::to_string(kRounds),
                                                    std::to_string(startAt.count())});
    for (auto& peer : peers) {
        EXPECT_EQ(peer.Line(0, 30s), "counted");
        EXPECT_EQ(peer.Wait(), 0);
    }
    EXPECT_EQ(*counter, kPeers * kRounds);
    UnmapViewOfFile(counter);
    CloseHandle(section);
}

}  // namespace
