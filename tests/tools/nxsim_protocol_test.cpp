// nxsim keeps the measurement program's promises: the scenario's record under the mutex, one
// answer per request in order, the distance measurement cycle, and a clean end on a signal.
#include <gtest/gtest.h>
#include <signal.h>

#include <filesystem>

#include "link/protocol/meas_protocol.h"
#include "platform/window_table_posix.h"
#include "tests/tools/sim_session.h"

namespace nxtest {
namespace {

struct Answer {
    win::WPARAM number;
    win::LPARAM value;
    bool operator==(const Answer&) const = default;
};

std::vector<Answer> AnswersTo(SimSession& sim, const std::vector<win::WPARAM>& numbers,
                              std::size_t expected) {
    for (win::WPARAM n : numbers) EXPECT_TRUE(sim.Post(kMsgConfParameter, n, 0));
    std::vector<Answer> answers;
    for (std::size_t i = 0; i < expected; ++i) {
        auto msg = sim.WaitFor(kMsgListParameter);
        if (!msg) break;
        answers.push_back({msg->wParam, msg->lParam});
    }
    return answers;
}

TEST(NxsimProtocolTest, ClientSeesTheScenarioRecordUnderTheMutex) {
    MeasRecord raw;
    std::string hex;
    for (std::size_t i = 0; i < kMeasRecordSize; ++i) {
        raw.bytes[i] = static_cast<std::uint8_t>(0xF0 - i);
        char two[3];
        std::snprintf(two, sizeof two, "%02x", raw.bytes[i]);
        hex += two;
    }
    MeasRecord fromKeys;
    fromKeys.setAngleUnit(1);
    fromKeys.setHzAngle(648000);
    fromKeys.setVAngle(-5);
    fromKeys.setDistanceValid(1);
    fromKeys.setEdmState(1);
    fromKeys.setSlopeDistance(123.4567);
    MeasRecord rawWithKey = raw;
    rawWithKey.setEdmState(0);
    MeasRecord defaults;
    defaults.setVAngle(324000);

    struct Case {
        const char* name;
        std::string iniName, text;
        MeasRecord expected;
    } cases[] = {
        {"no file: defaults", "NXSIM.INI", "", defaults},
        {"keys", "NXSIM.INI",
         "[record]\nangle_unit=1\nhz_angle=648000\nv_angle=-5\ndistance_valid=1\nedm_state=1\n"
         "slope_distance=123.4567\n",
         fromKeys},
        {"raw, then a key; lower-case file name", "nxsim.ini",
         "[record]\nraw=" + hex + "\nedm_state=0\n", rawWithKey},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SimSession sim(c.text, c.iniName);
        ASSERT_TRUE(sim.Start());
        EXPECT_EQ(sim.ReadRecord().bytes, c.expected.bytes);
        EXPECT_EQ(sim.Stop(), 0);
        std::filesystem::remove(ToolsDevice().Path("FLASHDISK/NEDIX/" + c.iniName));
    }
}

TEST(NxsimProtocolTest, AnswersEachRequestOnceInOrder) {
    SimSession sim("[record]\nangle_unit = 1\n[params]\np59 = 2008\np58 = 3\np57 = -7\np56 = 42\n");
    ASSERT_TRUE(sim.Start());
    const std::vector<Answer> expected = {{11, 1},  {59, 2008}, {58, 3}, {57, -7},
                                          {56, 42}, {56, 42},   {11, 1}};
    EXPECT_EQ(AnswersTo(sim, {11, 59, 58, 57, 56, 56, 11}, expected.size()), expected);
    // Nothing more than one answer per request, and no answer for an unknown number.
    EXPECT_TRUE(sim.Post(kMsgConfParameter, 12, 0));
    for (const win::MSG& m : sim.Collect(200ms))
        EXPECT_NE(m.message, win::RegisterWindowMessageW(kMsgListParameter));
}

TEST(NxsimProtocolTest, AngleUnitAnswerFollowsTheRecordUnlessTheScenarioFixesIt) {
    SimSession sim("");
    ASSERT_TRUE(sim.Start());
    EXPECT_EQ(AnswersTo(sim, {11}, 1), (std::vector<Answer>{{11, 0}}));
    ASSERT_TRUE(sim.Post(kMsgSetParameter, 11, 2));
    ASSERT_TRUE(sim.WaitFor(kMsgDataChange));  // the rewrite is notified
    EXPECT_EQ(sim.ReadRecord().angleUnit(), 2);
    EXPECT_EQ(sim.ReadRecord().vAngle(), 324000);  // the angles stay as they were
    EXPECT_EQ(AnswersTo(sim, {11}, 1), (std::vector<Answer>{{11, 2}}));
    EXPECT_EQ(sim.Stop(), 0);

    SimSession fixed("[params]\np11 = 5\n");
    ASSERT_TRUE(fixed.Start());
    ASSERT_TRUE(fixed.Post(kMsgSetParameter, 11, 2));
    EXPECT_EQ(AnswersTo(fixed, {11}, 1), (std::vector<Answer>{{11, 5}}));
}

class MeasurementCycleTest : public testing::TestWithParam<std::int32_t> {};

TEST_P(MeasurementCycleTest, MeasuresThenReportsAFinishedDistance) {
    // Long enough for the test to read the measuring state before the distance comes.
    SimSession sim("[edm]\nmeasure_ms = 600\ndistance = 12.345\n");
    ASSERT_TRUE(sim.Start());
    ASSERT_TRUE(sim.Post(kMsgSetEdmMode, static_cast<win::WPARAM>(GetParam()), 0));
    ASSERT_TRUE(sim.WaitFor(kMsgDataChange));
    EXPECT_EQ(sim.ReadRecord().edmState(), kEdmStateMeasuring);
    ASSERT_TRUE(sim.WaitFor(kMsgDataChange));
    MeasRecord done = sim.ReadRecord();
    EXPECT_EQ(done.edmState(), 1);
    EXPECT_EQ(done.distanceValid(), 1);
    EXPECT_DOUBLE_EQ(done.slopeDistance(), 12.345);
    EXPECT_EQ(done.vAngle(), 324000);
}

INSTANTIATE_TEST_SUITE_P(Commands, MeasurementCycleTest,
                         testing::Values(kEdmMeasure, kEdmMeasureOnce));

TEST(NxsimProtocolTest, StopAbandonsTheMeasurementInProgress) {
    SimSession sim("[edm]\nmeasure_ms = 400\n");
    ASSERT_TRUE(sim.Start());
    ASSERT_TRUE(sim.Post(kMsgSetEdmMode, kEdmMeasure, 0));
    ASSERT_TRUE(sim.Post(kMsgSetEdmMode, kEdmStop, 0));
    ASSERT_TRUE(sim.WaitFor(kMsgDataChange));  // measuring
    ASSERT_TRUE(sim.WaitFor(kMsgDataChange));  // stopped
    EXPECT_EQ(sim.ReadRecord().edmState(), 0);
    // The abandoned measurement never finishes.
    for (const win::MSG& m : sim.Collect(700ms))
        EXPECT_NE(m.message, win::RegisterWindowMessageW(kMsgDataChange));
    EXPECT_EQ(sim.ReadRecord().distanceValid(), 0);
    EXPECT_EQ(sim.ReadRecord().edmState(), 0);
}

TEST(NxsimProtocolTest, NotificationsReachEveryTopLevelWindow) {
    SimSession sim("[notify]\nperiod_ms = 50\n");
    const win::HWND second = win::AddTopLevelWindow(u"second client window");
    ASSERT_TRUE(sim.Start());
    int first = 0, other = 0;
    for (const win::MSG& m : sim.Collect(600ms, true)) {
        if (m.message != win::RegisterWindowMessageW(kMsgDataChange)) continue;
        (m.hwnd == second ? other : first)++;
    }
    win::RemoveTopLevelWindow(second);
    // About twelve beats in 600 ms; a loaded machine may lose some, never most.
    EXPECT_GE(first, 3);
    EXPECT_GE(other, 3);
}

class SignalEndTest : public testing::TestWithParam<int> {};

TEST_P(SignalEndTest, EndsCleanlyAndTakesItsQueueAlong) {
    SimSession sim("");
    ASSERT_TRUE(sim.Start());
    const win::DWORD thread = sim.thread();
    ASSERT_TRUE(sim.Post(kMsgConfParameter, 59, 0));
    ASSERT_TRUE(sim.WaitFor(kMsgListParameter));
    kill(sim.pid(), GetParam());
    EXPECT_EQ(sim.WaitExit(), 0);
    EXPECT_FALSE(
        win::PostThreadMessageW(thread, win::RegisterWindowMessageW(kMsgConfParameter), 59, 0));
    // Nothing it leaves behind stops the next one.
    SimSession next("");
    ASSERT_TRUE(next.Start());
    EXPECT_EQ(AnswersTo(next, {59}, 1), (std::vector<Answer>{{59, 0}}));
}

INSTANTIATE_TEST_SUITE_P(Signals, SignalEndTest, testing::Values(SIGTERM, SIGINT));

}  // namespace
}  // namespace nxtest
