// CMeasureDlg created modeless: what construction and initialisation leave, what its buttons
// post or start, and when its window's destruction stops the distance meter.
#include <algorithm>

#include "app/run_mode.h"
#include "dialog/resource.h"
#include "link/meas_link.h"
#include "platform/dialog.h"
#include "tests/dialog/dialog_fixture.h"

namespace nxtest {
namespace {

using MeasureDlgTest = DialogTest;

TEST_F(MeasureDlgTest, ConstructionPreparesMembersWithoutAWindow) {
    CMeasureDlg dialog;
    EXPECT_EQ(dialog.m_hWnd, 0u);
    EXPECT_TRUE(dialog.m_strHorizAngle.IsEmpty());
    EXPECT_TRUE(dialog.m_strZenithAngle.IsEmpty());
    EXPECT_TRUE(dialog.m_strSlopeDistance.IsEmpty());
    EXPECT_EQ(dialog.m_nAngleUnit, -1);
    EXPECT_TRUE(std::all_of(dialog.m_measRecord.bytes.begin(), dialog.m_measRecord.bytes.end(),
                            [](std::uint8_t b) { return b == 0; }));
    // Icon 128 is the program's own: both images, loaded by the constructor.
    EXPECT_NE(dialog.m_hIcon, 0u);
    EXPECT_EQ(dialog.m_hIcon, win::LoadIconW(IDI_MEASURE));
    const win::IconResource* icon = win::GetIconResource(dialog.m_hIcon);
    ASSERT_NE(icon, nullptr);
    ASSERT_EQ(icon->images.size(), 2u);
    EXPECT_EQ(icon->images[0].width, 32);
    EXPECT_EQ(icon->images[1].width, 16);
    for (const win::IconImage& image : icon->images) {
        EXPECT_EQ(image.pixels.size(), static_cast<std::size_t>(image.width * image.height));
        EXPECT_TRUE(std::all_of(image.pixels.begin(), image.pixels.end(),
                                [](std::uint8_t p) { return p <= 16; }));
    }
    EXPECT_TRUE(TakePosted().empty());
}

TEST_F(MeasureDlgTest, InitialisationShowsEmptyFieldsAndAsksForTheFiveParameters) {
    CMeasureDlg dialog;
    ASSERT_TRUE(dialog.Create(IDD_MEASURE));
    const win::HWND hwnd = dialog.m_hWnd;
    for (int edit : {IDC_HZ_ANGLE, IDC_ZENITH_ANGLE, IDC_SLOPE_DISTANCE})
        EXPECT_EQ(win::GetDlgItemText(hwnd, edit), u"") << edit;
    for (int radio : {IDC_UNIT_DEGREE, IDC_UNIT_GON, IDC_UNIT_MIL})
        EXPECT_EQ(win::IsDlgButtonChecked(hwnd, radio), win::BST_UNCHECKED) << radio;
    EXPECT_EQ(win::GetDlgItemText(hwnd, IDC_FIRMWARE_LABEL), u"Versione firmware:");
    EXPECT_EQ(win::GetWindowTextW(hwnd), u"Velmo Dudada - Zamto serie X9");
    EXPECT_EQ(win::GetWindowIcon(hwnd, win::ICON_BIG), dialog.m_hIcon);
    EXPECT_EQ(win::GetWindowIcon(hwnd, win::ICON_SMALL), dialog.m_hIcon);
    EXPECT_TRUE(win::IsWindowVisible(hwnd));

    // Centred and within the work area.
    win::RECT window, work = win::GetWorkArea();
    ASSERT_TRUE(win::GetWindowRect(hwnd, &window));
    EXPECT_GE(window.left, work.left);
    EXPECT_GE(window.top, work.top);
    EXPECT_LE(window.right, work.right);
    EXPECT_LE(window.bottom, work.bottom);
    EXPECT_LE(std::abs((window.left - work.left) - (work.right - window.right)), 1);

    EXPECT_EQ(TakePosted(),
              (std::vector<std::string>{"NXCONFPARAMETER 11 0", "NXCONFPARAMETER 59 0",
                                        "NXCONFPARAMETER 58 0", "NXCONFPARAMETER 57 0",
                                        "NXCONFPARAMETER 56 0"}));
    dialog.DestroyWindow();
}

struct ButtonCase {
    const char* name;
    int control;
    std::vector<std::string> posted;
    std::vector<std::string> toolLines;

    friend void PrintTo(const ButtonCase& c, std::ostream* os) { *os << c.name; }
};

class MeasureDlgButtonTest : public DialogTest, public testing::WithParamInterface<ButtonCase> {};

// Each button is clicked as a user would (the hidden ones too): the radio buttons check
// themselves first, so the exchange reads back the clicked index.
TEST_P(MeasureDlgButtonTest, ClickPostsOrStarts) {
    const ButtonCase& c = GetParam();
    CMeasureDlg dialog;
    ASSERT_TRUE(dialog.Create(IDD_MEASURE));
    TakePosted();
    dialog.SendMessage(win::BM_CLICK, static_cast<win::WPARAM>(c.control), 0);
    EXPECT_EQ(TakePosted(), c.posted);
    EXPECT_EQ(ToolLines(c.toolLines.size()), c.toolLines);
    EXPECT_TRUE(win::IsWindow(dialog.m_hWnd));
    dialog.DestroyWindow();
}

INSTANTIATE_TEST_SUITE_P(
    Buttons, MeasureDlgButtonTest,
    testing::Values(ButtonCase{"Misura", IDC_MEASURE, {"NXSETEDMMODE 30 0"}, {}},
                    ButtonCase{"Ferma", IDC_STOP, {"NXSETEDMMODE 17 0"}, {}},
                    ButtonCase{"Degree", IDC_UNIT_DEGREE, {"NXSETPARAMETER 11 0"}, {}},
                    ButtonCase{"Gon", IDC_UNIT_GON, {"NXSETPARAMETER 11 1"}, {}},
                    ButtonCase{"Mil", IDC_UNIT_MIL, {"NXSETPARAMETER 11 2"}, {}},
                    ButtonCase{"SetupTool", IDC_SETUP_TOOL, {}, {"setup 0:"}},
                    ButtonCase{"ShortcutTool", IDC_SHORTCUT_TOOL, {}, {"shortcut 1:/A"}}),
    [](const testing::TestParamInfo<ButtonCase>& info) { return info.param.name; });

TEST_F(MeasureDlgTest, EachToolClickStartsANewProcess) {
    CMeasureDlg dialog;
    ASSERT_TRUE(dialog.Create(IDD_MEASURE));
    for (int i = 0; i < 2; ++i) {
        dialog.SendMessage(win::BM_CLICK, IDC_SHORTCUT_TOOL, 0);
        dialog.SendMessage(win::BM_CLICK, IDC_SETUP_TOOL, 0);
    }
    std::vector<std::string> lines = ToolLines(4);
    std::sort(lines.begin(), lines.end());
    EXPECT_EQ(lines,
              (std::vector<std::string>{"setup 0:", "setup 0:", "shortcut 1:/A", "shortcut 1:/A"}));
    dialog.DestroyWindow();
}

TEST_F(MeasureDlgTest, ToolsThatCannotStartAreIgnored) {
    g_installPath = u"\\NOWHERE\\";
    CMeasureDlg dialog;
    ASSERT_TRUE(dialog.Create(IDD_MEASURE));
    TakePosted();
    dialog.SendMessage(win::BM_CLICK, IDC_SHORTCUT_TOOL, 0);
    dialog.SendMessage(win::BM_CLICK, IDC_SETUP_TOOL, 0);
    dialog.SendMessage(g_msgTiltOver, 0, 0);
    EXPECT_TRUE(win::IsWindow(dialog.m_hWnd));
    EXPECT_TRUE(TakePosted().empty());
    dialog.DestroyWindow();
}

// Window destruction decides on the stop command from a fresh copy of the shared record, not
// from the copy the last notification left: a meter started or stopped since then counts.
struct DestructionCase {
    const char* name;
    int notified;  // edmState of the record the last notification brought; -1: none came
    int current;   // edmState of the shared record when the window goes
    bool stopFirst;
    std::vector<std::string> posted;

    friend void PrintTo(const DestructionCase& c, std::ostream* os) { *os << c.name; }
};

class MeasureDlgDestructionTest : public DialogTest,
                                  public testing::WithParamInterface<DestructionCase> {};

TEST_P(MeasureDlgDestructionTest, StopsAnActiveDistanceMeterOnce) {
    const DestructionCase& c = GetParam();
    CMeasureDlg dialog;
    ASSERT_TRUE(dialog.Create(IDD_MEASURE));
    if (c.notified != -1) {
        SetSharedRecord(MakeRecord(0, 0, 0, 0, c.notified, 0.0));
        dialog.WindowProc(g_msgDataChange, 0, 0);
    }
    if (c.stopFirst) dialog.SendMessage(win::BM_CLICK, IDC_STOP, 0);
    SetSharedRecord(MakeRecord(0, 0, 0, 0, c.current, 0.0));
    TakePosted();
    const win::HWND hwnd = dialog.m_hWnd;
    EXPECT_TRUE(dialog.DestroyWindow());
    EXPECT_FALSE(win::IsWindow(hwnd));
    EXPECT_EQ(TakePosted(), c.posted);
}

INSTANTIATE_TEST_SUITE_P(
    EdmStates, MeasureDlgDestructionTest,
    testing::Values(DestructionCase{"NoDataEver", -1, 0, false, {}},
                    DestructionCase{"StartedBeforeAnyData", -1, 1, false, {"NXSETEDMMODE 17 0"}},
                    DestructionCase{"Idle", 0, 0, false, {}},
                    DestructionCase{"IdleAfterFerma", 0, 0, true, {}},
                    DestructionCase{"Active", 1, 1, false, {"NXSETEDMMODE 17 0"}},
                    DestructionCase{"Measuring", 2, 2, false, {"NXSETEDMMODE 17 0"}},
                    DestructionCase{"NegativeState", -128, -128, false, {"NXSETEDMMODE 17 0"}},
                    DestructionCase{"ActiveAfterFerma", 1, 1, true, {"NXSETEDMMODE 17 0"}},
                    DestructionCase{"StartedSinceTheLastData", 0, 1, false, {"NXSETEDMMODE 17 0"}},
                    DestructionCase{"StoppedSinceTheLastData", 1, 0, false, {}}),
    [](const testing::TestParamInfo<DestructionCase>& info) { return info.param.name; });

}  // namespace
}  // namespace nxtest
