// The Windows process walks list only the caller's own user's processes. Under Wine every
// process runs as one user, so the walk is asked as a process that takes itself for another
// user: then none of the processes may be listed, the measurement program's included.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "tests/wine/wine_prefix.h"

namespace nxtest {
namespace {

struct WalkCase {
    const char* name;
    bool asAnotherUser;  // the walking process takes itself for another user
    bool listed;         // the walk lists the running programs and their threads

    friend void PrintTo(const WalkCase& c, std::ostream* os) { *os << c.name; }
};

class ProcessWalkUnderWine : public testing::TestWithParam<WalkCase> {
  protected:
    static void SetUpTestSuite() { WinePrefix::Shared(); }
};

TEST_P(ProcessWalkUnderWine, ListsOnlyTheCallersOwnUsersProcesses) {
    const WalkCase& c = GetParam();
    WineDevice device("[log]\nfile = \\NXSIM.LOG\n");
    Child standIn = device.Start("\\FLASHDISK\\NEDIX\\NX.EXE", {});
    ASSERT_TRUE(WaitUntil([&] { return FileExists(device.Path("NXSIM.LOG")); }, 20s));

    std::vector<std::string> args = {"walk"};
    if (c.asAnotherUser) args.push_back("another");
    ProcessResult walk = device.Run(WindowsProgram("nxwinprobe.exe"), args);
    ASSERT_EQ(walk.exitCode, 0) << walk.err;
    std::vector<std::string> names;
    int threads = -1;
    std::istringstream lines(walk.out);
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.rfind("threads ", 0) == 0) {
            threads = std::stoi(line.substr(8));
        } else {
            names.push_back(line);
        }
    }
    auto listed = [&](const std::string& name) {
        return std::find(names.begin(), names.end(), name) != names.end();
    };
    EXPECT_EQ(listed("NX.EXE"), c.listed) << walk.out;
    EXPECT_EQ(listed("nxwinprobe.exe"), c.listed) << walk.out;
    if (!c.listed) {
        EXPECT_EQ(names, std::vector<std::string>{}) << walk.out;
    }
    EXPECT_EQ(threads > 0, c.listed) << walk.out;
}

INSTANTIATE_TEST_SUITE_P(Walks, ProcessWalkUnderWine,
                         testing::Values(WalkCase{"AsItsOwnUser", false, true},
                                         WalkCase{"AsAnotherUser", true, false}),
                         [](const testing::TestParamInfo<WalkCase>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
}  // namespace nxtest
