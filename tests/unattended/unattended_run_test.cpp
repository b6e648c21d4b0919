// The unattended runs driven in process: when the wait ends, what the result file holds, and
// which commands reach the measurement thread in which order.
#include "app/unattended_run.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

#include "tests/dialog/dialog_fixture.h"

namespace nxtest {
namespace {

using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;

constexpr char16_t kSep = u'\u00A7';

// A dialog that runs a check right after it has written the result file, so that the order of
// the file and the stop command can be seen.
class OrderNotingDlg : public CMeasureDlg {
  public:
    explicit OrderNotingDlg(std::function<void()> afterWrite)
        : afterWrite_(std::move(afterWrite)) {}
    void WriteResultFile() override {
        CMeasureDlg::WriteResultFile();
        afterWrite_();
    }

  private:
    std::function<void()> afterWrite_;
};

class UnattendedRunTest : public DialogTest {
  protected:
    struct Run {
        milliseconds elapsed{0};
        std::vector<std::string> postedBeforeWrite;  // conf requests and the start command
        std::vector<std::string> postedAfterWrite;   // the stop command, if any
    };

    Run RunMeasurement(bool measureDistance) {
        Run run;
        {
            OrderNotingDlg dialog([&] { run.postedBeforeWrite = TakePosted(); });
            auto start = Clock::now();
            RunUnattendedMeasurement(dialog, measureDistance);
            run.elapsed = std::chrono::duration_cast<milliseconds>(Clock::now() - start);
        }
        run.postedAfterWrite = TakePosted();
        return run;
    }

    static std::vector<std::string> WithRequests(std::vector<std::string> more) {
        std::vector<std::string> all = {"NXCONFPARAMETER 11 0", "NXCONFPARAMETER 59 0",
                                        "NXCONFPARAMETER 58 0", "NXCONFPARAMETER 57 0",
                                        "NXCONFPARAMETER 56 0"};
        all.insert(all.end(), more.begin(), more.end());
        return all;
    }
};

// 12 seconds are 0°00'12" in the DMS form; the vertical angle 90°.
const std::u16string kAngles = u"0\u00A1\u00E300'12\"\u00A790\u00A1\u00E300'00\"\u00A7";

TEST_F(UnattendedRunTest, AValidDistanceAlreadyInTheRecordEndsTheWaitAtTheFirstPoll) {
    SetSharedRecord(MakeRecord(0, 12, 324000, 1, 0, 12.3456));
    Run run = RunMeasurement(true);
    EXPECT_LT(run.elapsed, milliseconds(2000));  // one poll, not a hundred
    EXPECT_EQ(ResultLine(u"\\VLMIS.OUT"), kAngles + u"12.346" + kSep);
    EXPECT_EQ(run.postedBeforeWrite, WithRequests({"NXSETEDMMODE 25 0"}));
    EXPECT_TRUE(run.postedAfterWrite.empty());  // edmState 0: the meter needs no stop
}

TEST_F(UnattendedRunTest, ADistanceArrivingLaterEndsTheWaitAtThePollThatSeesIt) {
    SetSharedRecord(MakeRecord(0, 12, 324000, 0, 2, 0.0));
    std::thread instrument([] {
        std::this_thread::sleep_for(milliseconds(250));
        SetSharedRecord(MakeRecord(0, 12, 324000, 1, 1, 25.431));
    });
    Run run = RunMeasurement(true);
    instrument.join();
    EXPECT_GE(run.elapsed, milliseconds(250));
    EXPECT_LT(run.elapsed, milliseconds(3000));
    EXPECT_EQ(ResultLine(u"\\VLMIS.OUT"), kAngles + u"25.431" + kSep);
    EXPECT_EQ(run.postedAfterWrite, std::vector<std::string>{"NXSETEDMMODE 17 0"});
}

// The two ways a wait runs out: the whole hundred polls pass, then the file is written with
// what the last poll left, and the meter (still active) gets its stop command after the write.
struct ExhaustedWait {
    const char* name;
    MeasRecord record;
    std::u16string distance;
};

void PrintTo(const ExhaustedWait& c, std::ostream* os) {
    *os << c.name;
}

class ExhaustedWaitTest : public UnattendedRunTest,
                          public testing::WithParamInterface<ExhaustedWait> {};

TEST_P(ExhaustedWaitTest, PollsAHundredTimesAndWritesWhatTheLastPollLeft) {
    SetSharedRecord(GetParam().record);
    Run run = RunMeasurement(true);
    EXPECT_GE(run.elapsed, milliseconds(100 * 100));
    EXPECT_EQ(ResultLine(u"\\VLMIS.OUT"), kAngles + GetParam().distance + kSep);
    EXPECT_EQ(run.postedBeforeWrite, WithRequests({"NXSETEDMMODE 25 0"}));
    EXPECT_EQ(run.postedAfterWrite, std::vector<std::string>{"NXSETEDMMODE 17 0"});
}

INSTANTIATE_TEST_SUITE_P(
    Unattended, ExhaustedWaitTest,
    testing::Values(ExhaustedWait{"MeasuredZero", MakeRecord(0, 12, 324000, 1, 1, 0.0), u"0.000"},
                    ExhaustedWait{"MeterMeasuringThroughout", MakeRecord(0, 12, 324000, 1, 2, 5.0),
                                  u""}),
    [](const auto& info) { return std::string(info.param.name); });

// "-Gha": the record is taken once, with no start command and no wait; the stop command goes
// out only when the record shows the meter active, although the run never started it.
struct AnglesOnlyCase {
    const char* name;
    MeasRecord record;
    std::u16string distance;
    std::vector<std::string> postedAfterWrite;
};

void PrintTo(const AnglesOnlyCase& c, std::ostream* os) {
    *os << c.name;
}

class AnglesOnlyTest : public UnattendedRunTest,
                       public testing::WithParamInterface<AnglesOnlyCase> {};

TEST_P(AnglesOnlyTest, TakesTheRecordOnce) {
    SetSharedRecord(GetParam().record);
    Run run = RunMeasurement(false);
    EXPECT_LT(run.elapsed, milliseconds(2000));
    EXPECT_EQ(ResultLine(u"\\VLMIS.OUT"), kAngles + GetParam().distance + kSep);
    EXPECT_EQ(run.postedBeforeWrite, WithRequests({}));
    EXPECT_EQ(run.postedAfterWrite, GetParam().postedAfterWrite);
}

INSTANTIATE_TEST_SUITE_P(
    Unattended, AnglesOnlyTest,
    testing::Values(
        AnglesOnlyCase{"MeterIdle", MakeRecord(0, 12, 324000, 0, 0, 7.0), u"", {}},
        AnglesOnlyCase{"ValidDistanceKept", MakeRecord(0, 12, 324000, 1, 0, 7.0), u"7.000", {}},
        AnglesOnlyCase{
            "MeterActive", MakeRecord(0, 12, 324000, 1, 1, 7.0), u"7.000", {"NXSETEDMMODE 17 0"}},
        AnglesOnlyCase{
            "MeterMeasuring", MakeRecord(0, 12, 324000, 1, 2, 7.0), u"", {"NXSETEDMMODE 17 0"}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace nxtest
