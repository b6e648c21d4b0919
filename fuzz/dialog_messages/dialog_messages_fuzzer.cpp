// Fuzz target: messages with arbitrary numbers and parameters arriving at the measurement
// dialog, as any process of the device can post them, in each run mode: through the modal loop
// (interactive and version query) or by direct calls of the window procedure (unattended runs).
// Whatever arrives, the dialog must not crash, its controls must keep showing its members, the
// focus must stay on a reachable tab stop, and a result file, when written, must be whole.
//
// Input: a byte of flags (bits 0-1: run mode; bit 2: firmware year 2009), then messages of
// 9 bytes: a kind, then wParam and lParam (32 bits each, little-endian). The kind picks the
// message number (one of the registered notifications, a command, a click, a key, a close, a
// known system message, or the raw wParam as the number); kind 8 instead loads the next 120
// bytes as the shared record.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "app/run_mode.h"
#include "dialog/resource.h"
#include "dialog/version_params.h"
#include "fuzz/dialog_harness.h"
#include "fuzz/fuzz_check.h"
#include "link/meas_link.h"
#include "output/result_file.h"
#include "platform/dialog.h"
#include "platform/message.h"
#include "tools/vlout/result_file_decoder.h"

namespace {

constexpr std::size_t kMessageSize = 9;
constexpr std::size_t kMaxMessages = 256;
constexpr win::UINT kEndOfScript = win::WM_USER + 0x2F1;  // posted after the script

constexpr std::array<win::WPARAM, 5> kParameters = {11, 59, 58, 57, 56};
constexpr std::array<int, 15> kControls = {1000, 1001, 1002, 1003, 1004, 1005, 1006, 1007,
                                           1008, 1009, 1010, 1011, 101,  1,    2};
constexpr std::array<win::WPARAM, 4> kKeys = {win::VK_TAB, win::VK_RETURN, win::VK_ESCAPE,
                                              win::VK_SPACE};
constexpr std::array<win::UINT, 8> kSystemMessages = {
    win::WM_NULL,    win::WM_DESTROY,    win::WM_SETTEXT, win::WM_CLOSE,
    win::WM_SETICON, win::WM_INITDIALOG, win::WM_QUIT,    win::WM_USER};

struct Step {
    bool loadsRecord = false;
    std::span<const std::uint8_t> record;
    win::MSG msg;
};

std::uint32_t Read32(const std::uint8_t* p) {
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
           std::uint32_t{p[3]} << 24;
}

// Decodes the next step at data[at], advancing at; false when the input is used up.
bool NextStep(std::span<const std::uint8_t> data, std::size_t& at, Step& step) {
    if (at + kMessageSize > data.size()) return false;
    std::uint8_t kind = data[at];
    win::WPARAM w = Read32(&data[at + 1]);
    auto l = static_cast<win::LPARAM>(Read32(&data[at + 5]));
    at += kMessageSize;
    step = Step{};
    win::UINT message = 0;
    switch (kind % 12) {
        case 0:
            message = g_msgDataChange;
            break;
        case 1:
            message = g_msgListParameter;
            if (!(kind & 0x80)) w = kParameters[w % kParameters.size()];
            break;
        case 2:
            message = g_msgTiltOver;
            break;
        case 3:
            message = win::WM_COMMAND;
            if (!(kind & 0x80)) w = win::MAKEWPARAM(kControls[w % kControls.size()], 0);
            break;
        case 4:
            message = win::BM_CLICK;
            if (!(kind & 0x80)) w = kControls[w % kControls.size()];
            break;
        case 5:
            message = win::WM_KEYDOWN;
            if (!(kind & 0x80)) w = kKeys[w % kKeys.size()];
            break;
        case 6:
            message = win::WM_CLOSE;
            break;
        case 7:
            message = kSystemMessages[w % kSystemMessages.size()];
            break;
        case 8:
            step.loadsRecord = true;
            step.record = data.subspan(at, std::min(kMeasRecordSize, data.size() - at));
            at += step.record.size();
            return true;
        case 9:
            message = g_msgSysError;
            break;
        case 10:
            message = g_msgSetEdmMode + (w % 3);
            break;  // the commands' own numbers
        default:
            message = w;
            break;  // any number at all
    }
    step.msg = {0, message, w, l};
    return true;
}

// The controls keep showing the members; the focus is nowhere or on a reachable tab stop
// ("Misura", "Ferma", "Annulla", "Conferma": the rest are hidden, disabled or not tab stops).
void CheckDialog(const CMeasureDlg& dialog) {
    if (!win::IsWindow(dialog.m_hWnd)) return;
    nxfuzz::CheckControlsMatchMembers(dialog);
    int focus = win::GetFocusedControl(dialog.m_hWnd);
    FUZZ_CHECK(focus == 0 || focus == IDC_MEASURE || focus == IDC_STOP ||
               focus == IDC_CANCEL_BUTTON || focus == IDC_CONFIRM);
}

// A modal run that posts the script to itself once initialised, one message at a time, each
// behind what the one before posted (a close posts its IDCANCEL), as input comes; checks
// itself after every message, and ends at the end of the script if nothing closed it before.
class ScriptedDialog : public CMeasureDlg {
  public:
    explicit ScriptedDialog(std::span<const std::uint8_t> script) : script_(script) {}

    win::BOOL OnInitDialog() override {
        win::BOOL result = CMeasureDlg::OnInitDialog();
        // A WM_INITDIALOG in the script initialises the dialog again, but posts nothing more.
        if (scriptPosted_) return result;
        scriptPosted_ = true;
        window_ = m_hWnd;
        std::size_t at = 0;
        Step step;
        while (NextStep(script_, at, step) && steps_.size() < kMaxMessages) steps_.push_back(step);
        win::PostMessageW(m_hWnd, kNextStep, 0, 0);
        return result;
    }

    win::LRESULT WindowProc(win::UINT message, win::WPARAM wParam, win::LPARAM lParam) override {
        if (message == kEndOfScript) {
            EndDialog(-1);
            return 0;
        }
        if (message == kNextStep) {
            if (wParam >= steps_.size()) {
                win::PostMessageW(m_hWnd, kEndOfScript, 0, 0);
                return 0;
            }
            // A record change cannot travel in the queue: it is applied when its turn comes.
            const Step& step = steps_[wParam];
            if (step.loadsRecord)
                win::PostMessageW(m_hWnd, kLoadRecord, wParam, 0);
            else
                win::PostMessageW(m_hWnd, step.msg.message, step.msg.wParam, step.msg.lParam);
            win::PostMessageW(m_hWnd, kNextStep, wParam + 1, 0);
            return 0;
        }
        if (message == kLoadRecord && wParam < steps_.size()) {
            nxfuzz::SetSharedRecord(steps_[wParam].record);
            return 0;
        }
        win::LRESULT result = CMeasureDlg::WindowProc(message, wParam, lParam);
        CheckDialog(*this);
        return result;
    }

  private:
    static constexpr win::UINT kLoadRecord = win::WM_USER + 0x2F2;
    static constexpr win::UINT kNextStep = win::WM_USER + 0x2F3;
    std::span<const std::uint8_t> script_;
    std::vector<Step> steps_;
    bool scriptPosted_ = false;

  public:
    win::HWND window_ = 0;  // the window of the modal run
};

void RunModal(std::span<const std::uint8_t> script) {
    ScriptedDialog dialog(script);
    dialog.DoModal();
    // However the run ended, its window is gone with it.
    FUZZ_CHECK(dialog.window_ != 0 && !win::IsWindow(dialog.window_));
    win::MSG left;
    while (win::PeekMessageW(&left)) {
    }  // what a close left unread
}

// As an unattended run drives the dialog: created modeless, the window procedure called
// directly, the result file written from the members, the window destroyed.
void RunDirect(std::span<const std::uint8_t> script) {
    CMeasureDlg dialog;
    FUZZ_CHECK(dialog.Create(IDD_MEASURE));
    const win::HWND window = dialog.m_hWnd;
    std::size_t at = 0, count = 0;
    Step step;
    while (NextStep(script, at, step) && ++count <= kMaxMessages) {
        if (step.loadsRecord) {
            nxfuzz::SetSharedRecord(step.record);
            continue;
        }
        dialog.WindowProc(step.msg.message, step.msg.wParam, step.msg.lParam);
        CheckDialog(dialog);
    }
    dialog.WriteResultFile();
    dialog.DestroyWindow();
    FUZZ_CHECK(!win::IsWindow(window));
    win::MSG left;
    while (win::PeekMessageW(&left)) {
    }
}

void CheckWrittenFiles() {
    if (auto bytes = nxfuzz::TakeDeviceFile(kResultFilePath)) {
        FUZZ_CHECK(bytes->size() == kResultRecordSize);
    }
    if (auto bytes = nxfuzz::TakeDeviceFile(kVersionFilePath)) {
        // Four signed 32-bit values always fit the line.
        std::u16string fields[4];
        int i = 0;
        for (std::int32_t value : {g_confParam59, g_confParam58, g_confParam57, g_confParam56}) {
            for (char c : std::to_string(value)) fields[i] += static_cast<char16_t>(c);
            ++i;
        }
        nxfuzz::CheckResultFile(*bytes, fields);
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    nxfuzz::SetUpDialogWorld();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return -1;
    nxfuzz::SetUpDialogWorld();
    nxfuzz::SetSharedRecord({});
    g_confParam59 = g_confParam58 = g_confParam57 = g_confParam56 = 0;
    static constexpr RunMode kModes[] = {Interactive, VersionQuery, AnglesAndDistance, AnglesOnly};
    g_runMode = kModes[data[0] & 3];
    g_firmwareYear = (data[0] & 4) ? 2009 : 2008;
    std::span<const std::uint8_t> script(data + 1, size - 1);

    if (g_runMode == Interactive || g_runMode == VersionQuery)
        RunModal(script);
    else
        RunDirect(script);
    CheckWrittenFiles();
    return 0;
}
