// The dialog's window procedure: data-change, list-parameter and tilt-over notifications,
// delivered as the measurement program's messages or by a direct call as the unattended runs
// make it.
#include "app/run_mode.h"
#include "dialog/resource.h"
#include "dialog/version_params.h"
#include "link/meas_link.h"
#include "output/result_file.h"
#include "platform/dialog.h"
#include "tests/dialog/dialog_fixture.h"

namespace nxtest {
namespace {

struct Shown {
    std::u16string hz, zenith, distance, label;
};

Shown ShownBy(const CMeasureDlg& dialog) {
    return {win::GetDlgItemText(dialog.m_hWnd, IDC_HZ_ANGLE),
            win::GetDlgItemText(dialog.m_hWnd, IDC_ZENITH_ANGLE),
            win::GetDlgItemText(dialog.m_hWnd, IDC_SLOPE_DISTANCE),
            win::GetDlgItemText(dialog.m_hWnd, IDC_FIRMWARE_LABEL)};
}

struct DataChangeCase {
    const char* name;
    int year;
    MeasRecord first, second;
    // Members (and the edits) after the second record.
    std::u16string hz, zenith, distance, label;

    friend void PrintTo(const DataChangeCase& c, std::ostream* os) { *os << c.name; }
};

class DataChangeTest : public DialogTest, public testing::WithParamInterface<DataChangeCase> {};

// Two notifications in a row, so that what the second keeps of the first shows.
TEST_P(DataChangeTest, RefreshesTextsEditsAndLabel) {
    const DataChangeCase& c = GetParam();
    g_firmwareYear = c.year;
    CMeasureDlg dialog;
    ASSERT_TRUE(dialog.Create(IDD_MEASURE));
    SetSharedRecord(c.first);
    dialog.SendMessage(g_msgDataChange, 0, 0);
    SetSharedRecord(c.second);
    // The unattended runs call the procedure directly, with both parameters 0.
    dialog.WindowProc(g_msgDataChange, 0, 0);

    EXPECT_EQ(dialog.m_strHorizAngle.str(), c.hz);
    EXPECT_EQ(dialog.m_strZenithAngle.str(), c.zenith);
    EXPECT_EQ(dialog.m_strSlopeDistance.str(), c.distance);
    const Shown shown = ShownBy(dialog);
    EXPECT_EQ(shown.hz, c.hz);
    EXPECT_EQ(shown.zenith, c.zenith);
    EXPECT_EQ(shown.distance, c.distance);
    EXPECT_EQ(shown.label, c.label);
    EXPECT_EQ(dialog.m_measRecord.bytes, c.second.bytes);
    // The record's unit does not touch the radio group.
    EXPECT_EQ(dialog.m_nAngleUnit, -1);
    for (int radio : {IDC_UNIT_DEGREE, IDC_UNIT_GON, IDC_UNIT_MIL})
        EXPECT_EQ(win::IsDlgButtonChecked(dialog.m_hWnd, radio), win::BST_UNCHECKED);
    dialog.DestroyWindow();
}

INSTANTIATE_TEST_SUITE_P(
    Records, DataChangeTest,
    testing::Values(
        DataChangeCase{"GonWithDistance", 2008, MakeRecord(1, 0, 0, 0, 0, 0.0),
                       MakeRecord(1, 324000, 324000, 1, 0, 12.3456), u" 99.9999", u" 0.0001",
                       u"12.346", u"Firmware:2008 DLL:1.02"},
        DataChangeCase{"DmsAndMilFirmware2009", 2009, MakeRecord(2, 3, 3, 0, 0, 0.0),
                       MakeRecord(0, 3661, -61, 1, 1, 0.0), u"1\u00A1\u00E301'01\"",
                       u"-0\u00A1\u00E301'01\"", u"0.000", u"Firmware:2009 DLL:1.02"},
        DataChangeCase{"MeasuringEmptiesAValidDistance", 2008, MakeRecord(2, 3, 3, 1, 0, 25.431),
                       MakeRecord(2, 3, 3, 1, 2, 30.0), u" 0.01", u" 0.01", u"",
                       u"Firmware:2008 DLL:1.02"},
        DataChangeCase{"NoDistanceKeepsTheLastOne", 2008, MakeRecord(2, 3, 3, 1, 0, 25.431),
                       MakeRecord(2, 324000, 3, 0, 1, 99.0), u" 1599.99", u" 0.01", u"25.431",
                       u"Firmware:2008 DLL:1.02"},
        DataChangeCase{"UnknownUnitKeepsTheAngles", 2008, MakeRecord(2, 3, 3, 0, 0, 0.0),
                       MakeRecord(3, 324000, 324000, 1, 0, 1.5), u" 0.01", u" 0.01", u"1.500",
                       u"Firmware:2008 DLL:1.02"}),
    [](const testing::TestParamInfo<DataChangeCase>& info) { return info.param.name; });

using NotificationTest = DialogTest;

TEST_F(NotificationTest, AngleUnitAnswerChecksTheRadioButNotTheFormat) {
    CMeasureDlg dialog;
    ASSERT_TRUE(dialog.Create(IDD_MEASURE));
    SetSharedRecord(MakeRecord(1, 324000, 324000, 0, 0, 0.0));
    dialog.SendMessage(g_msgDataChange, 0, 0);

    struct Answer {
        win::LPARAM value;
        win::UINT degree, gon, mil;
    };
    for (const Answer& a : {Answer{1, 0, 1, 0}, Answer{2, 0, 0, 1}, Answer{0, 1, 0, 0},
                            Answer{5, 0, 0, 0}, Answer{-1, 0, 0, 0}}) {
        SCOPED_TRACE(a.value);
        dialog.SendMessage(g_msgListParameter, 11, a.value);
        EXPECT_EQ(dialog.m_nAngleUnit, a.value);
        EXPECT_EQ(win::IsDlgButtonChecked(dialog.m_hWnd, IDC_UNIT_DEGREE), a.degree);
        EXPECT_EQ(win::IsDlgButtonChecked(dialog.m_hWnd, IDC_UNIT_GON), a.gon);
        EXPECT_EQ(win::IsDlgButtonChecked(dialog.m_hWnd, IDC_UNIT_MIL), a.mil);
        EXPECT_EQ(dialog.m_strHorizAngle.str(), u" 99.9999");
    }
    // The answer is only shown: nothing goes back to the measurement program.
    TakePosted();
    dialog.SendMessage(g_msgListParameter, 11, 2);
    EXPECT_TRUE(TakePosted().empty());
    dialog.DestroyWindow();
}

TEST_F(NotificationTest, VersionAnswersAreStoredInEveryMode) {
    for (RunMode mode : {Interactive, AnglesAndDistance, AnglesOnly, VersionQuery}) {
        SCOPED_TRACE(mode);
        g_runMode = mode;
        CMeasureDlg dialog;
        ASSERT_TRUE(dialog.Create(IDD_MEASURE));
        dialog.SendMessage(g_msgListParameter, 59, 2008);
        dialog.SendMessage(g_msgListParameter, 58, -7);
        dialog.SendMessage(g_msgListParameter, 57, 2147483647);
        dialog.SendMessage(g_msgListParameter, 12, 99);  // not one of ours: nothing changes
        EXPECT_EQ(g_confParam59, 2008);
        EXPECT_EQ(g_confParam58, -7);
        EXPECT_EQ(g_confParam57, 2147483647);
        EXPECT_EQ(g_confParam56, 0);
        EXPECT_EQ(dialog.m_nAngleUnit, -1);
        EXPECT_FALSE(ResultLine(kVersionFilePath).has_value());
        dialog.DestroyWindow();
    }
}

TEST_F(NotificationTest, EveryTiltOverStartsTheShortcutTool) {
    CMeasureDlg dialog;
    ASSERT_TRUE(dialog.Create(IDD_MEASURE));
    dialog.SendMessage(g_msgTiltOver, 0, 0);
    dialog.SendMessage(g_msgTiltOver, 5, 6);
    dialog.WindowProc(g_msgTiltOver, 0, 0);
    EXPECT_EQ(ToolLines(3),
              (std::vector<std::string>{"shortcut 1:/A", "shortcut 1:/A", "shortcut 1:/A"}));
    dialog.DestroyWindow();
}

TEST_F(NotificationTest, SystemErrorAndOtherMessagesPassThrough) {
    CMeasureDlg dialog;
    ASSERT_TRUE(dialog.Create(IDD_MEASURE));
    TakePosted();
    EXPECT_EQ(dialog.SendMessage(g_msgSysError, 1, 2), 0);
    EXPECT_EQ(ShownBy(dialog).label, u"Versione firmware:");
    EXPECT_TRUE(TakePosted().empty());
    EXPECT_TRUE(win::IsWindow(dialog.m_hWnd));
    dialog.DestroyWindow();
}

}  // namespace
}  // namespace nxtest
