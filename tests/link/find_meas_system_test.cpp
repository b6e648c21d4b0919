// Finding the measurement program by its listed name, or launching it from the folder prefix,
// and the one 1500 ms pause on either path.
#include <chrono>
#include <optional>

#include "tests/link/link_fixture.h"

namespace nxtest {
namespace {

using Clock = std::chrono::steady_clock;

struct NameCase {
    const char* fileName;
    bool found;
};

const NameCase kNames[] = {
    {"NX.EXE", true},   {"nx.exe", true}, {"Nx.ExE", true},     {"NX.EXE.OLD", false},
    {"XNX.EXE", false}, {"NX.EX", false}, {"MYNX.EXEC", false}, {"NX", false},
};

void PrintTo(const NameCase& c, std::ostream* os) {
    *os << c.fileName;
}

class ProcessNameTest : public LinkTest, public testing::WithParamInterface<NameCase> {};

TEST_P(ProcessNameTest, OnlyTheExactNameAsideFromLetterCaseIsFound) {
    const NameCase& c = GetParam();
    pid_t pid = Start(std::string("bin/") + c.fileName);
    EXPECT_EQ(FindMeasSystemThread(), c.found);
    if (c.found) {
        EXPECT_EQ(OwnerOfThread(g_measThreadId), static_cast<win::DWORD>(pid));
    }
    // \NOWHERE\NEDIX\NX.EXE does not exist, so an unmatched name ends in a failed launch.
}

INSTANTIATE_TEST_SUITE_P(Names, ProcessNameTest, testing::ValuesIn(kNames),
                         [](const testing::TestParamInfo<NameCase>& info) {
                             std::string name;
                             for (const char* p = info.param.fileName; *p; ++p)
                                 name += *p == '.' ? '_' : *p;
                             return name;
                         });

TEST_F(LinkTest, OfTwoRunningTheFirstListedIsTaken) {
    pid_t first = Start("a/NX.EXE");
    pid_t second = Start("b/nx.exe");
    ASSERT_LT(first, second);  // the platform lists processes oldest (lowest id) first
    ASSERT_TRUE(FindMeasSystemThread());
    EXPECT_EQ(OwnerOfThread(g_measThreadId), static_cast<win::DWORD>(first));
}

// The start lock only keeps bridges started together from launching two programs: made or
// not, waited for or not, the program is launched and found.
struct StartLockCase {
    const char* name;
    std::optional<win::fault::Op> fails;  // on its first call
};

class LaunchTest : public LinkTest, public testing::WithParamInterface<StartLockCase> {};

TEST_P(LaunchTest, LaunchesFromThePrefixWhenNoneRunsAndPausesOnce) {
    if (GetParam().fails) win::fault::FailNth(*GetParam().fails, 1);
    const std::string image = Install("FlashDisk/NEDIX/NX.EXE");
    g_installPath = u"\\FLASHDISK\\";
    auto start = Clock::now();
    ASSERT_TRUE(FindMeasSystemThread());
    auto elapsed = Clock::now() - start;
    std::vector<pid_t> launched = ProcessesRunning(image);
    ASSERT_EQ(launched.size(), 1u);
    EXPECT_EQ(OwnerOfThread(g_measThreadId), static_cast<win::DWORD>(launched[0]));
    EXPECT_GE(elapsed, std::chrono::milliseconds(1500));
    EXPECT_LT(elapsed, std::chrono::milliseconds(3000));
}

INSTANTIATE_TEST_SUITE_P(StartLock, LaunchTest,
                         testing::Values(StartLockCase{"Usable", std::nullopt},
                                         StartLockCase{"NotMade", win::fault::Op::CreateMutex},
                                         StartLockCase{"NotWaitedFor", win::fault::Op::WaitMutex}),
                         [](const testing::TestParamInfo<StartLockCase>& info) {
                             return std::string(info.param.name);
                         });

TEST_F(LinkTest, FindsARunningProgramWithoutLaunchingAndStillPausesOnce) {
    const std::string image = Install("FlashDisk/NEDIX/NX.EXE");
    pid_t running = Start("FlashDisk/NEDIX/NX.EXE");
    g_installPath = u"\\FLASHDISK\\";
    auto start = Clock::now();
    ASSERT_TRUE(FindMeasSystemThread());
    auto elapsed = Clock::now() - start;
    EXPECT_EQ(ProcessesRunning(image), std::vector<pid_t>{running});
    EXPECT_EQ(OwnerOfThread(g_measThreadId), static_cast<win::DWORD>(running));
    EXPECT_GE(elapsed, std::chrono::milliseconds(1500));
    EXPECT_LT(elapsed, std::chrono::milliseconds(3000));
}

}  // namespace
}  // namespace nxtest
