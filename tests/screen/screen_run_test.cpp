// The interactive run on screen, from end to end: nxbridge started as the field software
// starts it, the stand-in NX.EXE answering, and a user's mouse and keyboard (xdotool) on the
// dialog's window, found by its title. Judged by the result file and by what the window shows.
#include <gtest/gtest.h>

#include <sstream>

#include "platform/renderer_posix.h"
#include "tests/screen/screen_fixture.h"
#include "tests/support/expected_file.h"

namespace nxtest {
namespace {

using namespace std::chrono_literals;

constexpr char kTitle[] = "Velmo Dudada - Zamto serie X9";
constexpr int kMeasureMs = 300;  // from the start command to the distance

// Stand-in scenario: gon angles, a distance 300 ms after the start command, and a log of the
// commands received.
std::string Scenario() {
    std::ostringstream ini;
    ini << "[record]\nangle_unit = 1\nhz_angle = 162000\nv_angle = 324000\n"
        << "[edm]\nmeasure_ms = " << kMeasureMs << "\ndistance = 25.431\n"
        << "[log]\nfile = \\NXSIM.LOG\n";
    return ini.str();
}

// Template 102's controls that the user touches, in dialog units (x, y, width, height).
struct Units {
    int x, y, cx, cy;
};
constexpr Units kMisura{116, 4, 39, 14};
constexpr Units kDistance{46, 34, 64, 13};
constexpr Units kAnnulla{3, 59, 72, 15};
constexpr Units kConferma{82, 59, 72, 15};

class ScreenRunTest : public testing::Test {
  protected:
    void SetUp() override { NX_REQUIRE_SCREEN(); }

    void TearDown() override {
        bridge_.reset();
        RunProcess({NX_DEVICE_PATH, "stop"}, device_, 10s);
    }

    void LayOut() {
        const TempDevice& d = device_;
        d.WriteFile("scenario.ini", Scenario());
        ProcessResult init = RunProcess({NX_DEVICE_PATH, "init", d.root(), "--prefix",
                                         "\\FlashDisk\\", "--ini", d.Path("scenario.ini")},
                                        d, 10s);
        ASSERT_EQ(init.exitCode, 0) << init.err;
    }

    void StartBridge(const char* mode = "-Nor0", const char* faults = nullptr) {
        std::vector<std::string> env = ScreenEnv();
        if (faults) env.push_back(std::string("NX_FAULTS=") + faults);
        bridge_.emplace(std::vector<std::string>{NX_BRIDGE_PATH, mode, "\\FlashDisk\\"}, device_,
                        env);
    }

    // Waits for the window with this title to be up and to hold the keyboard.
    unsigned long AwaitWindow(const char* title) {
        const unsigned long w = FindWindowByTitle(title, device_, 15s);
        EXPECT_NE(w, 0u) << "no window \"" << title << "\"; " << bridge_->Errors();
        if (w != 0) {
            EXPECT_TRUE(WaitUntil([&] { return HasFocus(w); }, 5s)) << "no keyboard";
        }
        return w;
    }

    // A control's place in the window's pixels: the dialog units in the base units of the
    // dialog font (on this display, as the bridge measures them), inside the frame and below
    // the caption strip.
    struct Box {
        int x, y, w, h;
    };
    Box Place(const Units& u) {
        static const auto metrics = [] {
            win::DialogTemplate dialog;
            dialog.fontPointSize = 12;
            dialog.style = win::WS_CAPTION;
            auto renderer = win::MakeWindowRenderer();
            return renderer
                       ? std::pair(renderer->DialogBaseUnits(dialog), renderer->DialogFrame(dialog))
                       : std::pair(win::Renderer::BaseUnits{}, win::Renderer::FrameInsets{});
        }();
        const auto& [base, frame] = metrics;
        auto x = [&](int units) { return (units * base.x + 2) / 4; };
        auto y = [&](int units) { return (units * base.y + 4) / 8; };
        return Box{frame.left + x(u.x), frame.top + y(u.y), x(u.cx), y(u.cy)};
    }

    void Click(unsigned long window, const Box& b) {
        Xdotool({"mousemove", "--window", std::to_string(window), std::to_string(b.x + b.w / 2),
                 std::to_string(b.y + b.h / 2), "click", "1"},
                device_);
    }

    // Waits until the distance field shows something other than what it showed before.
    bool AwaitDistance(unsigned long window, const std::vector<unsigned long>& before) {
        const Box d = Place(kDistance);
        return WaitUntil([&] { return GrabPixels(window, d.x, d.y, d.w, d.h) != before; }, 10s);
    }

    std::vector<unsigned long> DistancePixels(unsigned long window) {
        const Box d = Place(kDistance);
        return GrabPixels(window, d.x, d.y, d.w, d.h);
    }

    std::string ResultFile() const { return ReadFileBytes(device_.Path("VLMIS.OUT")); }

    // How many times the stand-in received the EDM command.
    int EdmCommands(int command) const {
        std::istringstream log(ReadFileBytes(device_.Path("NXSIM.LOG")));
        const std::string wanted = "NXSETEDMMODE " + std::to_string(command) + " 0";
        int count = 0;
        for (std::string line; std::getline(log, line);) count += line == wanted;
        return count;
    }

    TempDevice device_;  // a device of each test's own
    std::optional<Child> bridge_;
};

const std::string kExpected = ResultFileBytes(u" 49.9999\u00A7 0.0001\u00A725.431\u00A7");

// Also: the read-only edits show their text in the disabled colour.
TEST_F(ScreenRunTest, MisuraThenConfermaByMouseWritesTheMeasurement) {
    LayOut();
    StartBridge();
    const unsigned long w = AwaitWindow(kTitle);
    ASSERT_NE(w, 0u);
    const auto empty = DistancePixels(w);
    Click(w, Place(kMisura));
    ASSERT_TRUE(AwaitDistance(w, empty)) << "no distance shown";
    const Box d = Place(kDistance);
    EXPECT_EQ(DarkestChannel(GrabPixels(w, d.x + 3, d.y + 3, d.w - 6, d.h - 6)), 0x80u);
    Click(w, Place(kConferma));
    EXPECT_EQ(bridge_->Wait(10s), std::optional<int>(0));
    EXPECT_EQ(ResultFile(), kExpected);
}

TEST_F(ScreenRunTest, MisuraThenConfermaByKeyboardWritesTheMeasurement) {
    LayOut();
    StartBridge();
    const unsigned long w = AwaitWindow(kTitle);
    ASSERT_NE(w, 0u);
    const auto empty = DistancePixels(w);
    // The focus starts on "Misura"; Tab walks "Ferma", "Annulla", "Conferma".
    Xdotool({"key", "space"}, device_);
    ASSERT_TRUE(AwaitDistance(w, empty)) << "no distance shown";
    Xdotool({"key", "Tab", "Tab", "Tab", "space"}, device_);
    EXPECT_EQ(bridge_->Wait(10s), std::optional<int>(0));
    EXPECT_EQ(ResultFile(), kExpected);
}

// The device refuses the first open of the result file: "Conferma" shows one message box over
// the dialog, which stays; the box is modal over it, so the dialog's buttons do nothing while
// it is up. Closed by Return, the box leaves the keyboard to the dialog, and the next Return
// on "Conferma" writes the file and ends the run.
TEST_F(ScreenRunTest, ConfermaThatCannotWriteSaysSoAndCanBeTriedAgain) {
    LayOut();
    StartBridge("-Nor0", "CreateFile:1");
    const unsigned long w = AwaitWindow(kTitle);
    ASSERT_NE(w, 0u);
    Xdotool({"key", "Tab", "Tab", "Tab", "Return"}, device_);
    const unsigned long box = AwaitWindow("nxbridge");
    ASSERT_NE(box, 0u);
    EXPECT_FALSE(FileExists(device_.Path("VLMIS.OUT")));
    for (const Units& button : {kMisura, kConferma, kAnnulla}) Click(w, Place(button));
    Xdotool({"key", "Return"}, device_);
    EXPECT_EQ(FindWindowByTitle("nxbridge", device_, 300ms), 0u) << "a second box";
    EXPECT_EQ(EdmCommands(30), 0);
    EXPECT_TRUE(WaitUntil([&] { return HasFocus(w); }, 5s)) << "the dialog lost the keyboard";
    EXPECT_FALSE(bridge_->Wait(300ms)) << "the run ended with the box";
    Xdotool({"key", "Return"}, device_);
    EXPECT_EQ(bridge_->Wait(10s), std::optional<int>(0));
    EXPECT_EQ(ResultFile().size(), 100u);
    EXPECT_EQ(FindWindowByTitle("nxbridge", device_, 300ms), 0u) << "a second box";
}

// The keyboard on the dialog's own template: the arrow keys move within the group of "Ferma",
// "Annulla" and "Conferma", wrapping round over the label and the group box, which never take
// the focus, and leave "Misura", alone in its group, where it is. What each key does on a
// dialog is the dialog manager's, on both platforms (tests/window/dialog_keys_test.cpp).
// Judged by the commands the stand-in received, whether the run ended, and the result file.
struct KeyCase {
    const char* name;
    std::vector<std::string> keys;  // xdotool arguments
    int measures, stops;            // EDM commands 30 and 17 received
    bool ends;                      // the run ended
    bool writes;                    // the result file was written
    friend void PrintTo(const KeyCase& c, std::ostream* os) { *os << c.name; }
};

const KeyCase kKeyCases[] = {
    {"DownFromConfermaWrapsToFerma",
     {"key", "Tab", "Tab", "Tab", "Down", "Return"},
     0,
     1,
     false,
     false},
    {"UpFromFermaWrapsToConferma", {"key", "Tab", "Up", "Return"}, 0, 0, true, true},
    {"ArrowsLeaveMisuraAlone", {"key", "Down", "Right", "Up", "Return"}, 1, 0, false, false},
};

class KeyboardOnScreen : public ScreenRunTest, public testing::WithParamInterface<KeyCase> {};

TEST_P(KeyboardOnScreen, DoesWhatClickingDoes) {
    const KeyCase& c = GetParam();
    LayOut();
    StartBridge();
    const unsigned long w = AwaitWindow(kTitle);
    ASSERT_NE(w, 0u);
    Xdotool(c.keys, device_);
    if (c.ends) {
        EXPECT_EQ(bridge_->Wait(10s), std::optional<int>(0));
    } else {
        WaitUntil([&] { return EdmCommands(30) >= c.measures && EdmCommands(17) >= c.stops; }, 5s);
        EXPECT_FALSE(bridge_->Wait(500ms)) << "the run ended";
    }
    EXPECT_EQ(EdmCommands(30), c.measures);
    EXPECT_EQ(EdmCommands(17), c.stops);
    EXPECT_EQ(FileExists(device_.Path("VLMIS.OUT")), c.writes);
    if (c.writes) {
        EXPECT_EQ(ResultFile().size(), 100u);
    }
}

INSTANTIATE_TEST_SUITE_P(Keys, KeyboardOnScreen, testing::ValuesIn(kKeyCases),
                         [](const testing::TestParamInfo<KeyCase>& info) {
                             return std::string(info.param.name);
                         });

// Interactive and unattended runs alike: the box is on the display, and the run waits for it.
class FailedSetUpOnScreen : public ScreenRunTest,
                            public testing::WithParamInterface<const char*> {};

TEST_P(FailedSetUpOnScreen, ShowsTheMessageBoxUntilOk) {
    // No NX.EXE on the device: the link cannot start the measurement program.
    StartBridge(GetParam());
    const unsigned long box = AwaitWindow("nxbridge");
    ASSERT_NE(box, 0u);
    EXPECT_FALSE(bridge_->Wait(500ms)) << "the run ended with the box still up";
    const WindowGeometry g = GetWindowGeometry(box);
    Click(box, Box{0, g.height - 40, g.width, 40});
    EXPECT_EQ(bridge_->Wait(10s), std::optional<int>(0));
    EXPECT_EQ(FindWindowByTitle(kTitle, device_, 300ms), 0u) << "the dialog came up";
    EXPECT_FALSE(FileExists(device_.Path("VLMIS.OUT")));
    EXPECT_EQ(bridge_->Errors().find("Nedix meas system error!"), std::string::npos)
        << "the box was not on the display";
}

INSTANTIATE_TEST_SUITE_P(Modes, FailedSetUpOnScreen, testing::Values("-Nor0", "-Gha0", "-Ghd0"));

}  // namespace
}  // namespace nxtest
