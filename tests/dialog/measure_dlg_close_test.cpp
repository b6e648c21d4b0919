// How the dialog's modal run ends: its buttons, the title-bar OK, and the version query, with
// the files each path writes and the stop command its window's destruction posts.
#include <filesystem>
#include <fstream>
#include <functional>

#include "app/run_mode.h"
#include "dialog/resource.h"
#include "dialog/version_params.h"
#include "link/meas_link.h"
#include "output/result_file.h"
#include "platform/device.h"
#include "platform/dialog.h"
#include "platform/fault.h"
#include "platform/message_box.h"
#include "tests/dialog/dialog_fixture.h"
#include "tests/support/temp_device.h"

namespace nxtest {
namespace {

constexpr char16_t kSep = u'\u00A7';

std::u16string Line(std::initializer_list<std::u16string_view> fields) {
    std::u16string line;
    for (std::u16string_view field : fields) (line += field) += kSep;
    return line;
}

struct CloseCase {
    const char* name;
    std::vector<win::MSG> script;
    int result;
    int cancels, oks, resultWrites;
    bool resultFileWritten;

    friend void PrintTo(const CloseCase& c, std::ostream* os) { *os << c.name; }
};

class ModalCloseTest : public DialogTest, public testing::WithParamInterface<CloseCase> {};

// "Annulla" and "Conferma" close through WM_CLOSE, which ends the run as a cancel (2); the
// title-bar OK is the standard OK (1) and writes nothing.
TEST_P(ModalCloseTest, EndsWithResult) {
    const CloseCase& c = GetParam();
    ScriptedDlg dialog;
    dialog.script = c.script;
    EXPECT_EQ(dialog.DoModal(), c.result);
    EXPECT_EQ(dialog.cancels, c.cancels);
    EXPECT_EQ(dialog.oks, c.oks);
    EXPECT_EQ(dialog.resultWritesFromDialog, c.resultWrites);
    EXPECT_EQ(ResultLine(kResultFilePath).has_value(), c.resultFileWritten);
    EXPECT_FALSE(ResultLine(kVersionFilePath).has_value());
    EXPECT_FALSE(win::IsWindow(dialog.m_hWnd));
}

INSTANTIATE_TEST_SUITE_P(
    Paths, ModalCloseTest,
    testing::Values(CloseCase{"Annulla", {Click(IDC_CANCEL_BUTTON)}, 2, 1, 0, 0, false},
                    CloseCase{"Conferma", {Click(IDC_CONFIRM)}, 2, 1, 0, 1, true},
                    CloseCase{"TitleBarOk", {Command(win::IDOK)}, 1, 0, 1, 0, false},
                    CloseCase{"CloseMessage", {{0, win::WM_CLOSE, 0, 0}}, 2, 1, 0, 0, false},
                    CloseCase{"MisuraAndFermaDoNotClose",
                              {Click(IDC_MEASURE), Click(IDC_STOP)},
                              kGaveUp,
                              0,
                              0,
                              0,
                              false}),
    [](const testing::TestParamInfo<CloseCase>& info) { return info.param.name; });

TEST_F(DialogTest, ConfermaBeforeAnyDataWritesEmptyFields) {
    ScriptedDlg dialog;
    dialog.script = {Click(IDC_CONFIRM)};
    EXPECT_EQ(dialog.DoModal(), 2);
    EXPECT_EQ(ResultLine(kResultFilePath), Line({u"", u"", u""}));
    EXPECT_EQ(TakePosted().size(), 5u);  // the five requests; no stop command
}

TEST_F(DialogTest, ConfermaWritesTheShownTextsAndTheMeterIsStoppedOnce) {
    SetSharedRecord(MakeRecord(1, 162000, 324000, 1, 1, 12.3456));
    ScriptedDlg dialog;
    dialog.script = {DataChange(), Click(IDC_MEASURE), Click(IDC_CONFIRM)};
    EXPECT_EQ(dialog.DoModal(), 2);
    EXPECT_EQ(ResultLine(kResultFilePath), Line({u" 49.9999", u" 0.0001", u"12.346"}));
    const std::vector<std::string> posted = TakePosted();
    ASSERT_EQ(posted.size(), 7u);
    EXPECT_EQ(posted[5], "NXSETEDMMODE 30 0");
    EXPECT_EQ(posted[6], "NXSETEDMMODE 17 0");
}

// The meter started by "Misura" is stopped when the run ends, also when no data-change
// notification told the dialog that it runs.
TEST_F(DialogTest, MisuraThenAnnullaBeforeAnyDataStopsTheMeter) {
    SetSharedRecord(MakeRecord(1, 0, 0, 0, 1, 0.0));  // what the measurement program shows
    ScriptedDlg dialog;
    dialog.script = {Click(IDC_MEASURE), Click(IDC_CANCEL_BUTTON)};
    EXPECT_EQ(dialog.DoModal(), 2);
    const std::vector<std::string> posted = TakePosted();
    ASSERT_EQ(posted.size(), 7u);
    EXPECT_EQ(posted[5], "NXSETEDMMODE 30 0");
    EXPECT_EQ(posted[6], "NXSETEDMMODE 17 0");
}

// A "Conferma" whose result file cannot be written keeps the dialog open and says so in one
// message box; the old file stays. Once the cause is gone, "Conferma" writes and closes.
struct Cause {
    win::fault::Op fails;  // on its first call
    const char* name;
    friend void PrintTo(const Cause& c, std::ostream* os) { *os << c.name; }
};

class UnwritableConfermaTest : public DialogTest, public testing::WithParamInterface<Cause> {
  protected:
    void TearDown() override {
        win::fault::Reset();
        win::SetMessageBoxObserver(nullptr);
        DialogTest::TearDown();
    }
};

// Looks at the dialog between the two clicks, in the middle of its modal run.
class ProbedDlg : public ScriptedDlg {
  public:
    static constexpr win::UINT kProbe = win::WM_USER + 0x3B0;
    std::function<void()> probe;
    win::LRESULT WindowProc(win::UINT message, win::WPARAM wParam, win::LPARAM lParam) override {
        if (message == kProbe) {
            probe();
            return 0;
        }
        return ScriptedDlg::WindowProc(message, wParam, lParam);
    }
};

TEST_P(UnwritableConfermaTest, KeepsTheDialogOpenUntilTheFileIsWritten) {
    const std::string path = win::ResolveDevicePath(kResultFilePath);
    const std::string old(100, 'o');
    std::ofstream(path, std::ios::binary) << old;
    std::vector<std::u16string> boxes;
    win::SetMessageBoxObserver([&](std::u16string_view text, std::u16string_view, win::UINT) {
        boxes.emplace_back(text);
    });
    SetSharedRecord(MakeRecord(1, 162000, 324000, 1, 0, 12.3456));
    win::fault::Reset();
    win::fault::FailNth(GetParam().fails, 1);  // the first attempt fails, the next one succeeds

    ProbedDlg dialog;
    dialog.script = {
        DataChange(), Click(IDC_CONFIRM), {0, ProbedDlg::kProbe, 0, 0}, Click(IDC_CONFIRM)};
    bool probed = false;
    dialog.probe = [&] {
        probed = true;
        EXPECT_TRUE(win::IsWindowVisible(dialog.m_hWnd)) << "the dialog closed";
        EXPECT_EQ(boxes, std::vector<std::u16string>{u"Fail to write result file!"});
        EXPECT_EQ(ReadFileBytes(path), old) << "the old file changed";
        EXPECT_EQ(dialog.cancels, 0);
    };
    EXPECT_EQ(dialog.DoModal(), 2);
    EXPECT_TRUE(probed);
    EXPECT_EQ(dialog.resultWritesFromDialog, 2);
    EXPECT_EQ(boxes.size(), 1u);
    EXPECT_EQ(ResultLine(kResultFilePath), Line({u" 49.9999", u" 0.0001", u"12.346"}));
}

INSTANTIATE_TEST_SUITE_P(Causes, UnwritableConfermaTest,
                         testing::Values(Cause{win::fault::Op::CreateFile, "OpenRefused"},
                                         Cause{win::fault::Op::WriteFile, "DiskFull"},
                                         Cause{win::fault::Op::CommitFile, "WriteOutFails"}),
                         [](const testing::TestParamInfo<Cause>& info) { return info.param.name; });

TEST_F(DialogTest, ConfermaCutsEachControlTextTo19Characters) {
    CMeasureDlg dialog;
    ASSERT_TRUE(dialog.Create(IDD_MEASURE));
    win::SetDlgItemTextW(dialog.m_hWnd, IDC_HZ_ANGLE, u"ABCDEFGHIJKLMNOPQRSTUVWXY");
    win::SetDlgItemTextW(dialog.m_hWnd, IDC_ZENITH_ANGLE, u"0123456789012345678");
    win::SetDlgItemTextW(dialog.m_hWnd, IDC_SLOPE_DISTANCE, u"z");
    dialog.m_strHorizAngle = u"not what the control shows";
    dialog.WriteResultFileFromDialog();
    EXPECT_EQ(ResultLine(kResultFilePath),
              Line({u"ABCDEFGHIJKLMNOPQRS", u"0123456789012345678", u"z"}));
    dialog.DestroyWindow();
}

TEST_F(DialogTest, WriteResultFileTakesTheMembersUncut) {
    CMeasureDlg dialog;
    dialog.m_strHorizAngle = u"ABCDEFGHIJKLMNOPQRSTUVWXY";
    dialog.m_strZenithAngle = u" 0.5000";
    dialog.m_strSlopeDistance = u"";
    dialog.WriteResultFile();
    EXPECT_EQ(ResultLine(kResultFilePath), Line({u"ABCDEFGHIJKLMNOPQRSTUVWXY", u" 0.5000", u""}));
}

struct VersionCase {
    const char* name;
    RunMode mode;
    std::vector<win::MSG> answers;
    int result;
    std::optional<std::u16string> versionLine;

    friend void PrintTo(const VersionCase& c, std::ostream* os) { *os << c.name; }
};

class VersionQueryTest : public DialogTest, public testing::WithParamInterface<VersionCase> {};

// After the answers the script gives the title-bar OK: a run that the answer for 56 did not
// close ends with 1 instead of 2.
TEST_P(VersionQueryTest, WritesOnTheAnswerFor56) {
    const VersionCase& c = GetParam();
    g_runMode = c.mode;
    ScriptedDlg dialog;
    dialog.script = c.answers;
    dialog.script.push_back(Command(win::IDOK));
    EXPECT_EQ(dialog.DoModal(), c.result);
    EXPECT_EQ(ResultLine(kVersionFilePath), c.versionLine);
    EXPECT_FALSE(ResultLine(kResultFilePath).has_value());
}

INSTANTIATE_TEST_SUITE_P(
    Answers, VersionQueryTest,
    testing::Values(VersionCase{"AllFour",
                                VersionQuery,
                                {ListParameter(11, 0), ListParameter(59, 1), ListParameter(58, 2),
                                 ListParameter(57, 3), ListParameter(56, 4)},
                                2,
                                Line({u"1", u"2", u"3", u"4"})},
                    VersionCase{"Extremes",
                                VersionQuery,
                                {ListParameter(59, -2147483647 - 1), ListParameter(58, 2147483647),
                                 ListParameter(57, -1), ListParameter(56, 0)},
                                2,
                                Line({u"-2147483648", u"2147483647", u"-1", u"0"})},
                    VersionCase{"UnansweredAreZero",
                                VersionQuery,
                                {ListParameter(58, 9), ListParameter(56, 4)},
                                2,
                                Line({u"0", u"9", u"0", u"4"})},
                    VersionCase{"No56NoFile",
                                VersionQuery,
                                {ListParameter(59, 1), ListParameter(58, 2), ListParameter(57, 3)},
                                1,
                                std::nullopt},
                    VersionCase{"InteractiveOnlyStores",
                                Interactive,
                                {ListParameter(59, 1), ListParameter(56, 4)},
                                1,
                                std::nullopt}),
    [](const testing::TestParamInfo<VersionCase>& info) { return info.param.name; });

TEST_F(DialogTest, RepeatedAnswerFor56WritesAndClosesAgain) {
    g_runMode = VersionQuery;
    ScriptedDlg dialog;
    ASSERT_TRUE(dialog.Create(IDD_MEASURE));
    // The close's IDCANCEL is posted: it comes when the queue is read.
    auto readQueue = [] {
        win::MSG msg;
        while (win::PeekMessageW(&msg)) win::DispatchMessageW(&msg);
    };
    dialog.SendMessage(g_msgListParameter, 56, 1);
    EXPECT_EQ(ResultLine(kVersionFilePath), Line({u"0", u"0", u"0", u"1"}));
    readQueue();
    EXPECT_EQ(dialog.cancels, 1);
    dialog.SendMessage(g_msgListParameter, 58, 7);
    dialog.SendMessage(g_msgListParameter, 56, 2);
    EXPECT_EQ(ResultLine(kVersionFilePath), Line({u"0", u"7", u"0", u"2"}));
    readQueue();
    EXPECT_EQ(dialog.cancels, 2);
    dialog.DestroyWindow();
}

TEST_F(DialogTest, UnopenableVersionFileKeepsTheDialogOpen) {
    g_runMode = VersionQuery;
    // A folder where the file should go: the open fails.
    std::filesystem::create_directory(win::ResolveDevicePath(kVersionFilePath));
    ScriptedDlg dialog;
    dialog.script = {ListParameter(59, 1), ListParameter(56, 4)};
    EXPECT_EQ(dialog.DoModal(), kGaveUp);
    EXPECT_EQ(dialog.cancels, 0);
    EXPECT_EQ(g_confParam56, 4);
    EXPECT_TRUE(std::filesystem::is_directory(win::ResolveDevicePath(kVersionFilePath)));
}

}  // namespace
}  // namespace nxtest
