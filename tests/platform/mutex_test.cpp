// Named mutexes between processes: abandonment, racing creators, ownership.
#include "platform/mutex.h"

#include <gtest/gtest.h>
#include <time.h>

#include <thread>

#include "platform/section.h"
#include "platform/unicode.h"
#include "tests/platform/peer.h"

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

TEST_P(AbandonedMutex, IsReportedOnceAndThenWorksNormally) {
    const std::string name = std::string("ABANDON_") + GetParam().verb;
    Child holder(PeerCommand({GetParam().verb, name}), Device());
    ASSERT_EQ(holder.Line(0), "acquired");
    if (GetParam().kill) holder.Kill();
    holder.Wait();

    HANDLE m = CreateMutexW(nullptr, FALSE, Utf8ToUtf16(name));
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(WaitForSingleObject(m, INFINITE), WAIT_ABANDONED);
    EXPECT_TRUE(ReleaseMutex(m));
    EXPECT_EQ(WaitForSingleObject(m, INFINITE), WAIT_OBJECT_0);
    EXPECT_TRUE(ReleaseMutex(m));
    // Another process finds it in order too.
    EXPECT_EQ(RunProcess(PeerCommand({"lock-and-die", name}), Device()).out, "acquired\n");
    CloseHandle(m);
}

INSTANTIATE_TEST_SUITE_P(Holders, AbandonedMutex,
                         testing::Values(Holder{"lock-and-die", false},
                                         Holder{"lock-and-hold", true}),
                         [](const auto& info) {
                             return std::string(info.param.kill ? "Killed" : "Exited");
                         });

TEST(Mutex, TimedWaitsTimeOutWhileAnotherProcessHoldsIt) {
    Child holder(PeerCommand({"lock-and-hold", "HELD"}), Device());
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
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    const long long startAt = (now.tv_sec + 1) * 1'000'000'000LL + now.tv_nsec;
    std::vector<Child> peers;
    for (int i = 0; i < kPeers; ++i)
        peers.emplace_back(
            PeerCommand({"count", "RACED", std::to_string(kRounds), std::to_string(startAt)}),
            Device());
    for (auto& peer : peers) {
        EXPECT_EQ(peer.Line(0, std::chrono::seconds(30)), "counted");
        EXPECT_EQ(peer.Wait(), 0);
    }
    HANDLE section =
        CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 120, u"COUNTER");
    auto* counter = static_cast<long*>(MapViewOfFile(section, FILE_MAP_ALL_ACCESS, 0, 0, 0));
    ASSERT_NE(counter, nullptr);
    EXPECT_EQ(*counter, kPeers * kRounds);
    UnmapViewOfFile(counter);
    CloseHandle(section);
}

}  // namespace
