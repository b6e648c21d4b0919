// Setting up the link, step by step: every step can fail through the platform layer, shows its
// one text once, and leaves nothing held.
#include <optional>

#include "link/protocol/meas_protocol.h"
#include "platform/message.h"
#include "platform/section.h"
#include "platform/unicode.h"
#include "tests/link/held_resources.h"
#include "tests/link/link_fixture.h"

namespace nxtest {
namespace {

using win::fault::Op;

constexpr char16_t kFindText[] = u"Nedix meas system error!";
constexpr char16_t kRegisterText[] = u"Registration message error!";

struct StepCase {
    const char* what;
    std::optional<Op> op;  // none: the failure comes from the device's contents
    int nth;
    bool running;    // NX.EXE runs before the set-up
    bool installed;  // \NOWHERE\NEDIX\NX.EXE exists
    const char16_t* text;
    int idsRegistered;  // registrations that succeeded before the failing step
};

const StepCase kSteps[] = {
    {"step1_no_process_snapshot_and_no_launch", Op::ProcessSnapshot, 1, false, true, kFindText, 0},
    {"step1_launch_refused", Op::CreateProcess, 1, false, true, kFindText, 0},
    {"step1_not_installed", std::nullopt, 0, false, false, kFindText, 0},
    {"step1_no_thread_snapshot", Op::ThreadSnapshot, 1, true, false, kFindText, 0},
    {"step2_register_NXDATACHANGE", Op::RegisterMessage, 1, true, false, kRegisterText, 0},
    {"step3_register_NXSETEDMMODE", Op::RegisterMessage, 2, true, false, kRegisterText, 1},
    {"step4_register_NXSETPARAMETER", Op::RegisterMessage, 3, true, false, kRegisterText, 2},
    {"step5_register_NXCONFPARAMETER", Op::RegisterMessage, 4, true, false, kRegisterText, 3},
    {"step6_register_NXLISTPARAMETER", Op::RegisterMessage, 5, true, false, kRegisterText, 4},
    {"step7_register_NXTILTOVER", Op::RegisterMessage, 6, true, false, kRegisterText, 5},
    {"step8_register_NXSYSERROR", Op::RegisterMessage, 7, true, false, kRegisterText, 6},
    {"step9_create_section", Op::CreateSection, 1, true, false,
     u"Fail to create data exchange section!", 7},
    {"step10_map_view", Op::MapView, 1, true, false, u"Fail to map data!", 7},
    {"step11_create_mutex", Op::CreateMutex, 2, true, false, u"Fail to create Mutex!", 7},
};

void PrintTo(const StepCase& c, std::ostream* os) {
    *os << c.what;
}

class ConnectStepTest : public LinkTest, public testing::WithParamInterface<StepCase> {};

TEST_P(ConnectStepTest, FailingStepShowsItsTextOnceAndHoldsNothing) {
    const StepCase& c = GetParam();
    const std::string installed = root_ + "/NOWHERE/NEDIX/NX.EXE";
    if (c.installed) Install("NOWHERE/NEDIX/NX.EXE");
    if (c.running) Start("bin/NX.EXE");
    WarmUpLinkServices();
    const HeldResources before = CountHeldResources();

    if (c.op) win::fault::FailNth(*c.op, c.nth);
    EXPECT_FALSE(ConnectMeasSystem());

    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(win::Utf16ToUtf8(boxes_[0].text), win::Utf16ToUtf8(c.text));
    EXPECT_TRUE(boxes_[0].caption == u"nxbridge");
    EXPECT_TRUE(boxes_[0].linkHeldNothing);
    EXPECT_EQ(g_measSection, nullptr);
    EXPECT_EQ(g_measView, nullptr);
    EXPECT_EQ(g_measMutex, nullptr);
    EXPECT_EQ(Describe(CountHeldResources()), Describe(before));
    // Names after the failing one are not registered.
    std::vector<win::UINT*> ids = MessageIds();
    for (int i = 0; i < 7; ++i) EXPECT_EQ(*ids[i] != 0, i < c.idsRegistered) << "id " << i;
    if (c.installed) {
        EXPECT_TRUE(ProcessesRunning(installed).empty()) << "launched anyway";
    }

    DisconnectMeasSystem();
    DisconnectMeasSystem();
    EXPECT_EQ(Describe(CountHeldResources()), Describe(before));
    EXPECT_EQ(boxes_.size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(EachStep, ConnectStepTest, testing::ValuesIn(kSteps),
                         [](const testing::TestParamInfo<StepCase>& info) {
                             return std::string(info.param.what);
                         });

TEST_F(LinkTest, SetupHoldsSectionViewAndMutexUntilDisconnectedOnce) {
    pid_t program = Start("bin/NX.EXE");
    WarmUpLinkServices();
    const HeldResources before = CountHeldResources();

    ASSERT_TRUE(ConnectMeasSystem());
    EXPECT_TRUE(boxes_.empty());
    EXPECT_EQ(OwnerOfThread(g_measThreadId), static_cast<win::DWORD>(program));
    const char16_t* names[] = {kMsgDataChange,    kMsgSetEdmMode,    kMsgSetParameter,
                               kMsgConfParameter, kMsgListParameter, kMsgTiltOver,
                               kMsgSysError};
    std::vector<win::UINT*> ids = MessageIds();
    for (int i = 0; i < 7; ++i) {
        EXPECT_TRUE(win::GetRegisteredMessageName(*ids[i]) == names[i]) << "id " << i;
        EXPECT_EQ(*ids[i], win::RegisterWindowMessageW(names[i])) << "same id in every process";
    }
    EXPECT_NE(g_measSection, nullptr);
    EXPECT_NE(g_measView, nullptr);
    EXPECT_NE(g_measMutex, nullptr);
    EXPECT_NE(Describe(CountHeldResources()), Describe(before));

    DisconnectMeasSystem();
    EXPECT_EQ(g_measView, nullptr);
    EXPECT_EQ(g_measSection, nullptr);
    EXPECT_EQ(g_measMutex, nullptr);
    EXPECT_EQ(Describe(CountHeldResources()), Describe(before));
    DisconnectMeasSystem();
    EXPECT_EQ(Describe(CountHeldResources()), Describe(before));
    // The thread and the message ids stay known; the program is not ended.
    EXPECT_NE(g_measThreadId, 0u);
    EXPECT_NE(g_msgSysError, 0u);
    EXPECT_TRUE(DeviceLists(program));
}

TEST_F(LinkTest, ExistingSectionIsOpenedAsItIs) {
    Start("bin/NX.EXE");
    // The measurement program came first and wrote its record.
    win::HANDLE theirs = win::CreateFileMappingW(win::INVALID_HANDLE_VALUE, nullptr,
                                                 win::PAGE_READWRITE, 0, 120, kMeasSectionName);
    ASSERT_NE(theirs, nullptr);
    auto* theirView =
        static_cast<std::uint8_t*>(win::MapViewOfFile(theirs, win::FILE_MAP_ALL_ACCESS, 0, 0, 0));
    ASSERT_NE(theirView, nullptr);
    for (int i = 0; i < 120; ++i) theirView[i] = static_cast<std::uint8_t>(200 - i);

    ASSERT_TRUE(ConnectMeasSystem());
    for (int i = 0; i < 120; ++i) ASSERT_EQ(g_measView[i], 200 - i) << "byte " << i;
    theirView[44] = 0x5A;  // one section, seen by both
    EXPECT_EQ(g_measView[44], 0x5A);

    DisconnectMeasSystem();
    EXPECT_EQ(theirView[0], 200) << "their view outlives ours";
    win::UnmapViewOfFile(theirView);
    win::CloseHandle(theirs);
}

}  // namespace
}  // namespace nxtest
