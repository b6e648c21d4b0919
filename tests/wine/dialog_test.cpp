// The interactive run of the Windows build under Wine, driven as a user drives it: the real
// dialog manager's windows found through the window system (nxwinprobe), the mouse and the
// keyboard of the X server (xdotool). And a set-up failure in a real message box.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "platform/unicode.h"
#include "tests/screen/virtual_screen.h"
#include "tests/support/expected_file.h"
#include "tests/wine/wine_prefix.h"

namespace nxtest {
namespace {

constexpr char kTitle[] = "Velmo Dudada - Zamto serie X9";
constexpr char kBoxTitle[] = "nxbridge";
constexpr char kScenario[] =
    "[record]\nangle_unit = 1\nhz_angle = 162000\nv_angle = 324000\n"
    "[edm]\nmeasure_ms = 300\ndistance = 1.0625\n[log]\nfile = \\NXSIM.LOG\n";

// The probe's answer (its output, without the final newline) when it found what it was asked.
std::optional<std::string> Probe(const WineDevice& device, const std::vector<std::string>& args) {
    ProcessResult r = device.Run(WindowsProgram("nxwinprobe.exe"), args, 15s);
    if (r.exitCode != 0) return std::nullopt;
    // Its standard output is in text mode: lines end with "\r\n".
    while (!r.out.empty() && (r.out.back() == '\n' || r.out.back() == '\r')) r.out.pop_back();
    return r.out;
}

std::optional<std::string> AwaitProbe(const WineDevice& device,
                                      const std::vector<std::string>& args,
                                      std::chrono::milliseconds timeout = 20s) {
    std::optional<std::string> answer;
    WaitUntil([&] { return (answer = Probe(device, args)).has_value(); }, timeout);
    return answer;
}

// Clicks the control of the top-level window that shows text, where the window system has it.
void ClickControl(const WineDevice& device, const std::string& window, const std::string& text) {
    std::optional<std::string> where = AwaitProbe(device, {"where", window, text});
    ASSERT_TRUE(where) << "no control \"" << text << "\" in \"" << window << "\"";
    std::istringstream xy(*where);
    std::string x, y;
    xy >> x >> y;
    Xdotool({"mousemove", x, y, "click", "1"}, device.device());
}

std::vector<std::string> LogLines(const WineDevice& device) {
    std::vector<std::string> lines;
    std::istringstream in(ReadFileBytes(device.Path("NXSIM.LOG")));
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// "" when the probe's count of shown windows with the title stays at n for a while, else the
// count it changed to. A probe that did not answer (its program failed to run, as can happen
// under load) tells nothing either way, but one answer at least must come.
std::string StaysShown(const WineDevice& device, const char* title, const std::string& n) {
    std::string changed;
    bool answered = false;
    WaitUntil(
        [&] {
            std::optional<std::string> count = Probe(device, {"count", title});
            answered = answered || count.has_value();
            if (count && *count != n) changed = *count;
            return !changed.empty();
        },
        1500ms);
    return answered ? changed : "no answer";
}

struct Step {
    enum Kind {
        Click,
        Keys,
        AwaitDistance,
        ExpectFocus,
        AwaitChecked,
        AwaitToolLog,
        ExpectOpen,  // the dialog is still shown a while later: nothing closed it
        Boxes,       // this many "nxbridge" boxes come up and stay, and no more
        ClickInBox,  // a control of the box
    } kind;
    // The control's text or id, xdotool's key names, \NXTOOLS.LOG's text, or a count.
    std::string what;
};

struct Flow {
    const char* name;
    std::vector<Step> steps;
    bool confirms;  // ends with "Conferma": the result file holds the texts then shown
    std::vector<std::string> commands;
    std::string moreScenario = "";
    // What keeps the run from replacing the result file of the run before (then left as it
    // was), or the faults of the bridge (NX_FAULTS), and the run's mode.
    Refusal refusal = Refusal::None;
    const char* faults = nullptr;
    const char* mode = "-Nor0";

    friend void PrintTo(const Flow& f, std::ostream* os) { *os << f.name; }
};

class DialogUnderWine : public testing::TestWithParam<Flow> {
  protected:
    static void SetUpTestSuite() { WinePrefix::Shared(); }
};

TEST_P(DialogUnderWine, FlowEndsTheRunAsItsLastButtonAsks) {
    const Flow& flow = GetParam();
    WineDevice device(kScenario + flow.moreScenario);
    const bool version = std::string_view(flow.mode) == "-Ver0";
    const std::string resultFile = version ? "VLVER.OUT" : "VLMIS.OUT";
    std::string previous;
    if (flow.refusal != Refusal::None || flow.faults)
        previous = LayOutPreviousFile(device.device(), resultFile, version ? 4 : 3, flow.refusal);
    std::optional<WineDevice::Holder> holder;
    if (flow.refusal == Refusal::HeldOpen) holder.emplace(device.HoldOpen("\\" + resultFile));
    std::vector<std::string> faults;
    if (flow.faults) faults.push_back(std::string("NX_FAULTS=") + flow.faults);
    Child bridge =
        device.Start(WindowsProgram("nxbridge.exe"), {flow.mode, "\\FlashDisk\\"}, 60s, "", faults);
    ASSERT_TRUE(AwaitProbe(device, {"where", kTitle})) << "the dialog did not appear";
    // Keys go to the window with the X input focus; no window manager gives it one.
    unsigned long window = FindWindowByTitle(kTitle, device.device());
    ASSERT_NE(window, 0ul);
    Xdotool({"windowfocus", "--sync", std::to_string(window)}, device.device());

    std::u16string shown[3];
    for (const Step& step : flow.steps) {
        // What the edits show before the last step is what "Conferma" must write.
        for (int i = 0; i < 3 && flow.confirms; ++i) {
            auto text = Probe(device, {"text", kTitle, std::to_string(1002 + i)});
            ASSERT_TRUE(text) << "edit " << 1002 + i << " did not answer";
            shown[i] = win::Utf8ToUtf16(*text);
        }
        switch (step.kind) {
            case Step::Click:
                ClickControl(device, kTitle, step.what);
                break;
            case Step::Keys: {
                std::vector<std::string> args = {"key", "--delay", "100"};
                std::istringstream keys(step.what);
                for (std::string key; keys >> key;) args.push_back(key);
                Xdotool(args, device.device());
                break;
            }
            case Step::AwaitDistance:
                EXPECT_TRUE(WaitUntil(
                    [&] {
                        auto text = Probe(device, {"text", kTitle, "1004"});
                        return text && !text->empty();
                    },
                    15s));
                break;
            case Step::ExpectFocus:
                EXPECT_EQ(AwaitProbe(device, {"focus", kTitle}), step.what);
                break;
            case Step::AwaitChecked:
                EXPECT_TRUE(WaitUntil(
                    [&] {
                        return Probe(device, {"checked", kTitle, step.what}) == "1";
                    },
                    10s))
                    << "button " << step.what << " was not checked";
                break;
            case Step::AwaitToolLog:
                EXPECT_TRUE(WaitUntil(
                    [&] { return ReadFileBytes(device.Path("NXTOOLS.LOG")) == step.what; }, 15s))
                    << ReadFileBytes(device.Path("NXTOOLS.LOG"));
                break;
            case Step::ExpectOpen:
                EXPECT_EQ(StaysShown(device, kTitle, "1"), "") << "the dialog closed";
                break;
            case Step::Boxes:
                EXPECT_TRUE(WaitUntil(
                    [&] {
                        return Probe(device, {"count", kBoxTitle}) == step.what;
                    },
                    15s))
                    << "not " << step.what << " box(es)";
                EXPECT_EQ(StaysShown(device, kBoxTitle, step.what), "") << "box(es) then";
                break;
            case Step::ClickInBox:
                ClickControl(device, kBoxTitle, step.what);
                break;
        }
    }
    std::optional<int> code = bridge.Wait(20s);
    if (!code) bridge.Kill();
    EXPECT_EQ(code, std::optional<int>(0)) << "the dialog did not end the run";
    holder.reset();
    if (flow.confirms) {
        std::u16string line;
        for (const auto& text : shown) (line += text) += u'\u00A7';
        EXPECT_EQ(ReadFileBytes(device.Path("VLMIS.OUT")), ResultFileBytes(line));
    } else if (flow.refusal == Refusal::Folder) {
        EXPECT_TRUE(std::filesystem::is_directory(device.Path(resultFile)));
    } else if (!previous.empty()) {
        EXPECT_EQ(ReadFileBytes(device.Path(resultFile)), previous) << "the previous file changed";
    } else {
        EXPECT_FALSE(std::filesystem::is_regular_file(device.Path(resultFile)));
    }
    EXPECT_EQ(LeftTemporaries(device.device()), std::vector<std::string>{});
    WaitUntil([&] { return LogLines(device).size() >= flow.commands.size(); }, 5s);
    EXPECT_EQ(LogLines(device), flow.commands);
}

// "Conferma" that cannot write: one box, which OK closes, and the dialog stays until "Annulla"
// (which the box, modal, would not let through).
const std::vector<Step> kConfermaRefused = {{Step::Click, "Conferma"},
                                            {Step::Boxes, "1"},
                                            {Step::ClickInBox, "OK"},
                                            {Step::ExpectOpen, ""},
                                            {Step::Click, "Annulla"}};

INSTANTIATE_TEST_SUITE_P(
    Flows, DialogUnderWine,
    testing::Values(
        Flow{"MisuraThenConfermaByMouse",
             {{Step::Click, "Misura"}, {Step::AwaitDistance, ""}, {Step::Click, "Conferma"}},
             true,
             Requests({"NXSETEDMMODE 30 0", "NXSETEDMMODE 17 0"})},
        // The first tab stop has the focus; Space clicks the focused button.
        Flow{"MisuraThenConfermaByKeyboard",
             {{Step::ExpectFocus, "Misura"},
              {Step::Keys, "space"},
              {Step::AwaitDistance, ""},
              {Step::Keys, "Tab Tab Tab"},
              {Step::ExpectFocus, "Conferma"},
              {Step::Keys, "space"}},
             true,
             Requests({"NXSETEDMMODE 30 0", "NXSETEDMMODE 17 0"})},
        // The answer for parameter 11 (the record's unit, gon) checks the hidden "gen" radio
        // button through the data exchange.
        Flow{
            "Annulla", {{Step::AwaitChecked, "1007"}, {Step::Click, "Annulla"}}, false, Requests()},
        // The tilt-over warning starts the shortcut tool with its command line.
        Flow{"TiltOverStartsTheShortcutTool",
             {{Step::AwaitToolLog, "NxShortcut.EXE /A\n"}, {Step::Click, "Annulla"}},
             false,
             Requests(),
             "[notify]\ntilt_over_ms = 2500\n"},
        // The arrow keys pass over the label and the group box, wrapping round within the
        // group of "Ferma", "Annulla" and "Conferma", and Return clicks where they stopped: the
        // dialog stays open after "Ferma", and "Conferma" writes the file.
        Flow{"DownFromConfermaWrapsToFerma",
             {{Step::Keys, "Tab Tab Tab Down"},
              {Step::ExpectFocus, "Ferma"},
              {Step::Keys, "Return"},
              {Step::ExpectOpen, ""},
              {Step::Click, "Annulla"}},
             false,
             Requests({"NXSETEDMMODE 17 0"})},
        Flow{"UpFromFermaWrapsToConferma",
             {{Step::Keys, "Tab Up"}, {Step::ExpectFocus, "Conferma"}, {Step::Keys, "Return"}},
             true,
             Requests()},
        // A push button focused by the mouse is the default one: Return clicks "Ferma",
        // and the dialog stays open.
        Flow{"ReturnAfterAClickOnFerma",
             {{Step::Click, "Ferma"},
              {Step::ExpectFocus, "Ferma"},
              {Step::Keys, "Return"},
              {Step::ExpectOpen, ""},
              {Step::Click, "Annulla"}},
             false,
             Requests({"NXSETEDMMODE 17 0", "NXSETEDMMODE 17 0"})},
        // "Conferma" over a folder named VLMIS.OUT: one box, modal over the dialog, whose
        // buttons do nothing while it is up. Closed, it gives the focus back to "Conferma",
        // where Return tries again (another box); "Annulla" then ends the run without a file.
        Flow{"ConfermaThatCannotWriteKeepsTheDialogUnderOneBox",
             {{Step::Click, "Conferma"},
              {Step::Boxes, "1"},
              {Step::Click, "Misura"},
              {Step::Click, "Conferma"},
              {Step::Click, "Annulla"},
              {Step::Boxes, "1"},
              {Step::ExpectOpen, ""},
              {Step::ClickInBox, "OK"},
              {Step::Boxes, "0"},
              {Step::ExpectFocus, "Conferma"},
              {Step::Keys, "Return"},
              {Step::Boxes, "1"},
              {Step::ClickInBox, "OK"},
              {Step::Boxes, "0"},
              {Step::Click, "Annulla"}},
             false,
             Requests(),
             "",
             Refusal::Folder},
        // Whatever keeps "Conferma" from replacing the file of the run before: one box, and
        // the dialog stays open; "Annulla" ends the run and the old file is left as it was.
        Flow{"ConfermaOverAReadOnlyFile", kConfermaRefused, false, Requests(), "",
             Refusal::ReadOnly},
        Flow{"ConfermaOverAFileHeldOpen", kConfermaRefused, false, Requests(), "",
             Refusal::HeldOpen},
        Flow{"ConfermaOnAFullDisk", kConfermaRefused, false, Requests(), "", Refusal::None,
             "WriteFile:1"},
        Flow{"ConfermaWhoseRenameFails", kConfermaRefused, false, Requests(), "", Refusal::None,
             "CommitFile:1"},
        // The version file cannot be written: the dialog stays open, shows no box and waits
        // for "Annulla", as on Linux.
        Flow{"VersionQueryOverAReadOnlyFile",
             {{Step::ExpectOpen, ""}, {Step::Boxes, "0"}, {Step::Click, "Annulla"}},
             false,
             Requests(),
             "",
             Refusal::ReadOnly,
             nullptr,
             "-Ver0"}),
    [](const testing::TestParamInfo<Flow>& info) { return info.param.name; });

// One of the set-up failures in the window system's own message box: captioned with the
// program's name, modal until OK, and the run ends without a file.
TEST(MessageBoxUnderWine, SetUpFailureWaitsForOkAndEndsTheRun) {
    WineDevice device("", /*withStandIn=*/false);
    Child bridge = device.Start(WindowsProgram("nxbridge.exe"), {"-Gha0", "\\FlashDisk\\"});
    ASSERT_TRUE(AwaitProbe(device, {"where", "nxbridge", "OK"})) << "no message box";
    EXPECT_EQ(Probe(device, {"text", "nxbridge", "65535"}), "Nedix meas system error!");
    EXPECT_EQ(bridge.Wait(1s), std::nullopt) << "the box did not wait for OK";
    ClickControl(device, "nxbridge", "OK");
    std::optional<int> code = bridge.Wait(20s);
    if (!code) bridge.Kill();
    EXPECT_EQ(code, std::optional<int>(0));
    EXPECT_FALSE(FileExists(device.Path("VLMIS.OUT")));
}

// The real messages carry 64-bit pointers (WM_NCCREATE, WM_NCCALCSIZE, WM_WINDOWPOSCHANGING),
// which the dialog's 32-bit procedure sees cut, and the default processing must get whole.
// Wine keeps stacks below 4 GiB, where a cut changes nothing: the probe runs a dialog on a
// thread whose stack lies above (titled, retitled, moved as asked).
TEST(DialogLayerUnderWine, MessagePointersAboveFourGiBReachTheDefaultProcessingWhole) {
    WineDevice device("", /*withStandIn=*/false);
    ProcessResult r = device.Run(WindowsProgram("nxwinprobe.exe"), {"highdialog"});
    EXPECT_EQ(r.out.substr(0, r.out.find_first_of("\r\n")), "made") << r.err;
    EXPECT_EQ(r.exitCode, 0);
}

}  // namespace
}  // namespace nxtest
