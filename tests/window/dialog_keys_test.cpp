// The dialog manager's keys and focus, on both platforms: each row is one modal run of the
// synthetic dialog (DialogBoxIndirectW, the run the interactive dialog has), the keys given as
// the keyboard gives them (dialog_input.h), and what the user then sees: the focus, the push
// button drawn as the default one, the button held in, the radio buttons checked, the commands
// the dialog got, and whether IDOK or IDCANCEL closed it (as the framework's dialog closes).
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "platform/dialog.h"
#include "platform/message.h"
#include "platform/unicode.h"
#include "tests/platform/known_differences.h"
#include "tests/window/dialog_input.h"
#include "tests/window/test_template.h"

namespace nxtest {
namespace {

using namespace win;

constexpr UINT kNextStep = 0x8000;  // WM_APP: the table's own
constexpr int kStillOpen = 100;

Stroke Down(WPARAM key) {
    return {WM_KEYDOWN, key};
}
Stroke ShiftDown(WPARAM key) {
    return {WM_KEYDOWN, key, true};
}
Stroke Repeat(WPARAM key) {
    return {WM_KEYDOWN, key, false, true};
}
Stroke Up(WPARAM key) {
    return {WM_KEYUP, key};
}
const Stroke kClose{WM_CLOSE, 0};  // the window's close box, posted to the dialog

struct Row {
    const char* name;
    int focus = 0;  // put there first, as a click puts it (0: left where the dialog put it)
    std::vector<Stroke> strokes = {};
    std::vector<int> commands = {};
    int focusAfter = 0;
    int defaultLook = 0;  // the push button drawn as the default one
    // Where the real dialog manager leaves that look instead (kDefaultLookFollowsTheFocus);
    // -1: the same.
    int lookLeftBehind = -1;
    int pushed = 0;  // the button held in by Space
    std::vector<int> checked = {};
    bool closed = false;
    int defaultId = 0;             // given by DM_SETDEFID first
    bool templateDefault = false;  // push button 302 is BS_DEFPUSHBUTTON in the template
    bool pushButtonFirst = false;  // push button 301 comes first (MakeTestTemplate)
    bool focusUnplaced = false;    // WM_INITDIALOG returns FALSE
};

void PrintTo(const Row& row, std::ostream* os) {
    *os << row.name;
}

// What the user saw when the run ended (its last key given, or IDOK or IDCANCEL).
struct Seen {
    std::vector<int> commands;
    int focus = 0, defaultLook = 0, pushed = 0;
    std::vector<int> checked;
    bool closed = false;

    void Look(HWND dialog) {
        focus = GetFocusedControl(dialog);
        defaultLook = pushed = 0;
        checked.clear();
        for (const DialogControlInfo& control : GetDialogControls(dialog)) {
            const DWORD type = control.style & BS_TYPEMASK;
            if (!EqualsIgnoreCase(control.className, u"BUTTON")) continue;
            if (type == BS_DEFPUSHBUTTON) defaultLook = defaultLook ? -1 : control.id;
            if (IsPushedIn(dialog, control.id)) pushed = pushed ? -1 : control.id;
            if (type == BS_AUTORADIOBUTTON && IsDlgButtonChecked(dialog, control.id) == BST_CHECKED)
                checked.push_back(control.id);
        }
    }
};

Seen RunRow(const Row& row) {
    DialogTemplate dialog = MakeTestTemplate(row.pushButtonFirst);
    for (auto& control : dialog.controls)
        if (row.templateDefault && control.id == kPushLast) control.style |= BS_DEFPUSHBUTTON;
    Seen seen;
    std::size_t next = 0;
    const int result =
        DialogBoxIndirectW(dialog, 0, [&](HWND w, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
            if (m == WM_INITDIALOG) {
                PostMessageW(w, kNextStep, 0, 0);
                return row.focusUnplaced ? FALSE : TRUE;
            }
            if (m == kNextStep) {
                if (next == 0 && row.defaultId) SendMessageW(w, DM_SETDEFID, row.defaultId, 0);
                if (next == 0 && row.focus) SetFocusedControl(w, row.focus);
                // One more step after the last key, for what the keys posted (a close's
                // IDCANCEL) to come first.
                if (next == row.strokes.size()) {
                    ++next;
                    PostMessageW(w, kNextStep, 0, 0);
                    return 0;
                }
                if (next > row.strokes.size()) {
                    seen.Look(w);
                    EndDialog(w, kStillOpen);
                    return 0;
                }
                // One key at a time, each to where the focus then is.
                const Stroke& stroke = row.strokes[next++];
                if (stroke.message == WM_CLOSE)
                    PostMessageW(w, WM_CLOSE, 0, 0);
                else
                    PostKey(w, stroke);
                PostMessageW(w, kNextStep, 0, 0);
                return 0;
            }
            if (m == WM_COMMAND && HIWORD(wp) == BN_CLICKED) {
                seen.commands.push_back(LOWORD(wp));
                if (LOWORD(wp) == IDOK || LOWORD(wp) == IDCANCEL) {
                    seen.Look(w);
                    seen.closed = true;
                    EndDialog(w, LOWORD(wp));
                }
            }
            return DefDlgProcW(w, m, wp, lp);
        });
    EXPECT_EQ(result, seen.closed ? seen.commands.back() : kStillOpen) << row.name;
    MSG left;  // posted to the ended dialog: never the next run's
    while (PeekMessageW(&left)) {
    }
    return seen;
}

void Expect(const Row& row, const Seen& seen) {
    EXPECT_EQ(seen.commands, row.commands) << row.name;
    EXPECT_EQ(seen.focus, row.focusAfter) << row.name;
    const bool follows = OnThisPlatform(kDefaultLookFollowsTheFocus);
    EXPECT_EQ(seen.defaultLook,
              follows || row.lookLeftBehind < 0 ? row.defaultLook : row.lookLeftBehind)
        << row.name;
    EXPECT_EQ(seen.pushed, row.pushed) << row.name;
    EXPECT_EQ(seen.checked, row.checked) << row.name;
    EXPECT_EQ(seen.closed, row.closed) << row.name;
}

class DialogKeys : public testing::TestWithParam<Row> {
  protected:
    static void SetUpTestSuite() { ShowDialogsAsTheInteractiveRunDoes(); }
};

TEST_P(DialogKeys, ShowWhatTheRowSays) {
    Expect(GetParam(), RunRow(GetParam()));
}

const WPARAM kSpace = VK_SPACE, kDown = VK_DOWN, kUp = VK_UP, kTab = VK_TAB, kReturn = VK_RETURN;

// The first group: radio A, radio B, push First, radio C, then a disabled edit and two hidden
// controls that the arrows pass over. The second: the label, radio Other, push Last, the edit.
// Without a default id, Return on a control that is no push button gives IDOK.
INSTANTIATE_TEST_SUITE_P(
    Keys, DialogKeys,
    testing::Values(Row{.name = "ReturnClicksAPushButtonFocusedByAClick",
                        .focus = kPushFirst,
                        .strokes = {Down(kReturn)},
                        .commands = {kPushFirst},
                        .focusAfter = kPushFirst,
                        .defaultLook = kPushFirst},
                    Row{.name = "ReturnClicksTheOtherOneToo",
                        .focus = kPushLast,
                        .strokes = {Down(kReturn)},
                        .commands = {kPushLast},
                        .focusAfter = kPushLast,
                        .defaultLook = kPushLast},
                    Row{.name = "ReturnClicksAPushButtonReachedByTab",
                        .strokes = {Down(kTab), Down(kTab), Down(kReturn)},
                        .commands = {kPushFirst},
                        .focusAfter = kPushFirst,
                        .defaultLook = kPushFirst},
                    Row{.name = "APushButtonWithTheFirstFocusIsDrawnAsTheDefault",
                        .focusAfter = kPushFirst,
                        .defaultLook = kPushFirst,
                        .pushButtonFirst = true},
                    Row{.name = "ReturnClicksThePushButtonThatHasTheFirstFocus",
                        .strokes = {Down(kReturn)},
                        .commands = {kPushFirst},
                        .focusAfter = kPushFirst,
                        .defaultLook = kPushFirst,
                        .pushButtonFirst = true},
                    Row{.name = "ReturnOnARadioButtonIsOk",
                        .focus = kRadioB,
                        .strokes = {Down(kReturn)},
                        .commands = {IDOK},
                        .focusAfter = kRadioB,
                        .closed = true},
                    Row{.name = "ReturnOnAnEditIsOk",
                        .focus = kEdit,
                        .strokes = {Down(kReturn)},
                        .commands = {IDOK},
                        .focusAfter = kEdit,
                        .closed = true},
                    Row{.name = "EscIsCancel",
                        .focus = kPushFirst,
                        .strokes = {Down(VK_ESCAPE)},
                        .commands = {IDCANCEL},
                        .focusAfter = kPushFirst,
                        .defaultLook = kPushFirst,
                        .lookLeftBehind = 0,
                        .closed = true},
                    Row{.name = "TheCloseBoxIsCancel",
                        .strokes = {kClose},
                        .commands = {IDCANCEL},
                        .focusAfter = kRadioA,
                        .closed = true},
                    Row{.name = "SpaceClicksAPushButtonOnRelease",
                        .focus = kPushLast,
                        .strokes = {Down(kSpace), Up(kSpace)},
                        .commands = {kPushLast},
                        .focusAfter = kPushLast,
                        .defaultLook = kPushLast,
                        .lookLeftBehind = 0},
                    Row{.name = "SpaceHeldDownPushesInAndClicksNothingYet",
                        .focus = kPushLast,
                        .strokes = {Down(kSpace), Repeat(kSpace)},
                        .commands = {},
                        .focusAfter = kPushLast,
                        .defaultLook = kPushLast,
                        .lookLeftBehind = 0,
                        .pushed = kPushLast},
                    Row{.name = "AHeldSpaceClicksOnce",
                        .focus = kPushLast,
                        .strokes = {Down(kSpace), Repeat(kSpace), Repeat(kSpace), Repeat(kSpace),
                                    Up(kSpace)},
                        .commands = {kPushLast},
                        .focusAfter = kPushLast,
                        .defaultLook = kPushLast,
                        .lookLeftBehind = 0},
                    Row{.name = "AReleaseWithoutAPressClicksNothing",
                        .focus = kPushFirst,
                        .strokes = {Up(kSpace)},
                        .commands = {},
                        .focusAfter = kPushFirst,
                        .defaultLook = kPushFirst,
                        .lookLeftBehind = 0},
                    Row{.name = "SpaceClicksARadioButton",
                        .focus = kRadioB,
                        .strokes = {Down(kSpace), Up(kSpace)},
                        .commands = {kRadioB},
                        .focusAfter = kRadioB,
                        .checked = {kRadioB}},
                    Row{.name = "SpaceOnAnEditClicksNothing",
                        .focus = kEdit,
                        .strokes = {Down(kSpace), Up(kSpace)},
                        .commands = {},
                        .focusAfter = kEdit},
                    Row{.name = "OtherKeysDoNothing",
                        .focus = kPushFirst,
                        .strokes = {Down('A'), Up('A')},
                        .commands = {},
                        .focusAfter = kPushFirst,
                        .defaultLook = kPushFirst,
                        .lookLeftBehind = 0},
                    Row{.name = "DownWalksTheGroupClickingTheRadioButtonsItReaches",
                        .focus = kRadioA,
                        .strokes = {Down(kDown), Down(kDown), Down(kDown)},
                        .commands = {kRadioB, kRadioC},
                        .focusAfter = kRadioC,
                        .lookLeftBehind = kPushFirst,
                        .checked = {kRadioC}},
                    Row{.name = "DownWrapsRoundWithinTheGroup",
                        .focus = kRadioC,
                        .strokes = {Down(kDown)},
                        .commands = {kRadioA},
                        .focusAfter = kRadioA,
                        .checked = {kRadioA}},
                    Row{.name = "UpAndLeftGoBackWrappingRound",
                        .focus = kRadioA,
                        .strokes = {Down(kUp), Down(VK_LEFT)},
                        .commands = {kRadioC},
                        .focusAfter = kPushFirst,
                        .defaultLook = kPushFirst,
                        .checked = {kRadioC}},
                    Row{.name = "RightIsDown",
                        .focus = kPushFirst,
                        .strokes = {Down(VK_RIGHT)},
                        .commands = {kRadioC},
                        .focusAfter = kRadioC,
                        .checked = {kRadioC}},
                    Row{.name = "AnEditTakesTheArrowsItself",
                        .focus = kEdit,
                        .strokes = {Down(kDown), Down(kUp)},
                        .commands = {},
                        .focusAfter = kEdit},
                    Row{.name = "ALabelIsPassedOverWrappingRound",
                        .focus = kRadioOther,
                        .strokes = {Down(kUp)},
                        .commands = {},
                        .focusAfter = kEdit},
                    Row{.name = "ReturnClicksAPushButtonReachedByTheArrows",
                        .focus = kRadioOther,
                        .strokes = {Down(kDown), Down(kReturn)},
                        .commands = {kPushLast},
                        .focusAfter = kPushLast,
                        .defaultLook = kPushLast},
                    Row{.name = "DownReachesTheEdit",
                        .focus = kPushLast,
                        .strokes = {Down(kDown)},
                        .commands = {},
                        .focusAfter = kEdit}),
    [](const testing::TestParamInfo<Row>& info) { return std::string(info.param.name); });

// The focused push button is the default one and Return clicks it; with the focus elsewhere
// the default id's button is, and Return gives the default id, IDOK without one.
INSTANTIATE_TEST_SUITE_P(
    DefaultButton, DialogKeys,
    testing::Values(Row{.name = "TheTemplatesDefaultWithTheFocusOnARadioButton",
                        .focusAfter = kRadioA,
                        .defaultLook = kPushLast,
                        .templateDefault = true},
                    Row{.name = "ReturnGivesIt",
                        .strokes = {Down(kReturn)},
                        .commands = {kPushLast},
                        .focusAfter = kRadioA,
                        .defaultLook = kPushLast,
                        .templateDefault = true},
                    Row{.name = "APushButtonReachedByTabIsTheDefaultNow",
                        .strokes = {Down(kTab), Down(kTab)},
                        .focusAfter = kPushFirst,
                        .defaultLook = kPushFirst,
                        .templateDefault = true},
                    Row{.name = "ReturnClicksItWhileSpaceHoldsItIn",
                        .strokes = {Down(kTab), Down(kTab), Down(kSpace), Down(kReturn)},
                        .commands = {kPushFirst},
                        .focusAfter = kPushFirst,
                        .defaultLook = kPushFirst,
                        .pushed = kPushFirst,
                        .templateDefault = true},
                    Row{.name = "TabAwayLosesThePushAndTheDefaultIsBack",
                        .strokes = {Down(kTab), Down(kTab), Down(kSpace), Down(kTab), Up(kSpace)},
                        .focusAfter = kRadioC,
                        .defaultLook = kPushLast,
                        .templateDefault = true},
                    Row{.name = "ANewDefaultId",
                        .strokes = {Down(kReturn)},
                        .commands = {kPushFirst},
                        .focusAfter = kRadioA,
                        .defaultLook = kPushFirst,
                        .defaultId = kPushFirst,
                        .templateDefault = true},
                    Row{.name = "ADisabledDefaultIdGivesNothing",
                        .strokes = {Down(kReturn)},
                        .focusAfter = kRadioA,
                        .lookLeftBehind = kPushLast,
                        .defaultId = kEditDisabled,
                        .templateDefault = true},
                    Row{.name = "ADefaultIdWithoutAControlIsGivenAllTheSame",
                        .strokes = {Down(kReturn)},
                        .commands = {77},
                        .focusAfter = kRadioA,
                        .defaultId = 77,
                        .templateDefault = true}),
    [](const testing::TestParamInfo<Row>& info) { return std::string(info.param.name); });

// Tab and Shift-Tab walk the visible, enabled tab stops in template order and wrap round.
std::vector<Row> TabRows() {
    static const char* const kNames[][2] = {
        {"Tab1", "ShiftTab1"}, {"Tab2", "ShiftTab2"}, {"Tab3", "ShiftTab3"}, {"Tab4", "ShiftTab4"},
        {"Tab5", "ShiftTab5"}, {"Tab6", "ShiftTab6"}, {"Tab7", "ShiftTab7"}};
    const std::vector<int>& stops = kReachableTabStops;
    std::vector<Row> rows;
    for (std::size_t n = 1; n <= stops.size(); ++n) {
        for (bool shift : {false, true}) {
            Row row{.name = kNames[n - 1][shift],
                    .strokes = std::vector<Stroke>(n, shift ? ShiftDown(kTab) : Down(kTab)),
                    .focusAfter = stops[(shift ? stops.size() * 2 - n : n) % stops.size()]};
            if (row.focusAfter == kPushFirst || row.focusAfter == kPushLast)
                row.defaultLook = row.focusAfter;
            rows.push_back(row);
        }
    }
    // Shown, the dialog has the focus even when its initialisation placed none.
    rows.push_back(Row{
        .name = "TheFirstTabStopWhenNoneWasPlaced", .focusAfter = kRadioA, .focusUnplaced = true});
    return rows;
}

INSTANTIATE_TEST_SUITE_P(Tab, DialogKeys, testing::ValuesIn(TabRows()),
                         [](const testing::TestParamInfo<Row>& info) {
                             return std::string(info.param.name);
                         });

// Space held on a push button while Tab moves the focus to a radio button, then released: the
// repeats reach the radio button (kRepeatedSpacePushes).
TEST(DialogKeysRepeat, SpaceReleasedAfterTheFocusMovedClicksWhatTheRepeatsPushed) {
    const bool repeatsPush = OnThisPlatform(kRepeatedSpacePushes);
    const Row row{.name = "SpaceReleasedAfterTheFocusMoved",
                  .focus = kPushFirst,
                  .strokes = {Down(kSpace), Down(kTab), Up(kTab), Repeat(kSpace), Up(kSpace)},
                  .commands = repeatsPush ? std::vector<int>{kRadioC} : std::vector<int>{},
                  .focusAfter = kRadioC,
                  .checked = repeatsPush ? std::vector<int>{kRadioC} : std::vector<int>{}};
    ShowDialogsAsTheInteractiveRunDoes();
    Expect(row, RunRow(row));
}

// A WM_CLOSE sent to the dialog (as the dialog's own buttons close it) posts IDCANCEL: the
// command comes through the queue after the send has returned.
TEST(DialogClose, ASentCloseBecomesAPostedCancel) {
    std::vector<int> commands;
    HWND dialog = CreateDialogIndirectW(MakeTestTemplate(), 0,
                                        [&](HWND w, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
                                            if (m == WM_COMMAND) commands.push_back(LOWORD(wp));
                                            return DefDlgProcW(w, m, wp, lp);
                                        });
    ASSERT_NE(dialog, 0u);
    EXPECT_EQ(SendMessageW(dialog, WM_CLOSE, 0, 0), 0);
    EXPECT_EQ(commands, std::vector<int>{});
    MSG msg;
    while (PeekMessageW(&msg)) DispatchMessageW(&msg);
    EXPECT_EQ(commands, std::vector<int>{IDCANCEL});
    DestroyWindow(dialog);
}

// DS_CENTER centres the whole window, its frame and caption included, in the work area.
TEST(DialogPlacement, ACentredDialogIsCentredInTheWorkArea) {
    DialogTemplate centred = MakeTestTemplate();
    centred.style |= DS_CENTER;
    HWND dialog = CreateDialogIndirectW(centred, 0, [](HWND w, UINT m, WPARAM wp, LPARAM lp) {
        return m == WM_INITDIALOG ? TRUE : DefDlgProcW(w, m, wp, lp);
    });
    ASSERT_NE(dialog, 0u);
    RECT window, work = GetWorkArea();
    ASSERT_TRUE(GetWindowRect(dialog, &window));
    EXPECT_NEAR(window.left + window.right, work.left + work.right, 2);
    EXPECT_NEAR(window.top + window.bottom, work.top + work.bottom, 2);
    DestroyWindow(dialog);
}

}  // namespace
}  // namespace nxtest
