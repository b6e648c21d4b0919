#include "tests/dialog/dialog_fixture.h"

#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/run_mode.h"
#include "dialog/version_params.h"
#include "link/meas_link.h"
#include "link/protocol/meas_protocol.h"
#include "platform/device.h"
#include "platform/mutex.h"
#include "platform/renderer_posix.h"
#include "platform/section.h"
#include "platform/unicode.h"
#include "tests/support/temp_device.h"

namespace nxtest {

namespace fs = std::filesystem;

namespace {

std::string HostPath(std::u16string_view devicePath) {
    return win::ResolveDevicePath(devicePath);
}

std::string ToolLogPath() {
    return HostPath(u"\\TOOLS.LOG");
}

// A stand-in tool: appends its name and its arguments to the tool log.
void InstallTool(std::u16string_view devicePath, const std::string& name) {
    const std::string path = HostPath(devicePath);
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path) << "#!/bin/sh\necho \"" << name << " $#:$*\" >> '" << ToolLogPath()
                        << "'\n";
    fs::permissions(path, fs::perms::owner_all);
}

constexpr win::UINT kListParameterPlaceholder = win::WM_USER + 0x3A9;
constexpr win::UINT kDataChangePlaceholder = win::WM_USER + 0x3AA;

win::UINT Resolved(win::UINT message) {
    if (message == kListParameterPlaceholder) return g_msgListParameter;
    if (message == kDataChangePlaceholder) return g_msgDataChange;
    return message;
}

}  // namespace

// The script's messages come one at a time, each behind what the one before posted (a close
// posts its IDCANCEL), as input does; then kGiveUp.
win::BOOL ScriptedDlg::OnInitDialog() {
    const win::BOOL result = CMeasureDlg::OnInitDialog();
    win::PostMessageW(m_hWnd, kNextScripted, 0, 0);
    return result;
}

bool ScriptedDlg::WriteResultFileFromDialog() {
    ++resultWritesFromDialog;
    return CMeasureDlg::WriteResultFileFromDialog();
}

void ScriptedDlg::OnCancel() {
    ++cancels;
    CMeasureDlg::OnCancel();
}

void ScriptedDlg::OnOK() {
    ++oks;
    CMeasureDlg::OnOK();
}

win::LRESULT ScriptedDlg::WindowProc(win::UINT message, win::WPARAM wParam, win::LPARAM lParam) {
    if (message == kNextScripted) {
        if (wParam < script.size()) {
            const win::MSG& msg = script[wParam];
            win::PostMessageW(m_hWnd, Resolved(msg.message), msg.wParam, msg.lParam);
            win::PostMessageW(m_hWnd, kNextScripted, wParam + 1, 0);
        } else {
            win::PostMessageW(m_hWnd, kGiveUp, 0, 0);
        }
        return 0;
    }
    if (message == kGiveUp) {
        EndDialog(kGaveUp);
        return 0;
    }
    return CMeasureDlg::WindowProc(message, wParam, lParam);
}

win::MSG Click(int controlId) {
    return {0, win::BM_CLICK, static_cast<win::WPARAM>(controlId), 0};
}

win::MSG Command(int commandId) {
    return {0, win::WM_COMMAND, win::MAKEWPARAM(static_cast<win::WORD>(commandId), 0), 0};
}

win::MSG ListParameter(win::WPARAM parameter, win::LPARAM value) {
    return {0, kListParameterPlaceholder, parameter, value};
}

win::MSG DataChange() {
    return {0, g_msgDataChange, 0, 0};
}

MeasRecord MakeRecord(int unit, std::int32_t hz, std::int32_t v, int distanceValid, int edmState,
                      double distance) {
    MeasRecord record;
    record.setAngleUnit(static_cast<std::int8_t>(unit));
    record.setHzAngle(hz);
    record.setVAngle(v);
    record.setDistanceValid(static_cast<std::int8_t>(distanceValid));
    record.setEdmState(static_cast<std::int8_t>(edmState));
    record.setSlopeDistance(distance);
    return record;
}

void DialogTest::SetUpTestSuite() {
    static bool linked = false;
    if (linked) return;
    linked = true;
    win::SetRenderer(win::MakeHeadlessRenderer());
    OpenMeasResources();  // SetUp checks what it opened
    InstallTool(u"\\FLASHDISK\\Nedix\\NxSetup.exe", "setup");
    InstallTool(u"\\FLASHDISK\\Nedix\\NxShortcut.EXE", "shortcut");
}

void DialogTest::SetUp() {
    ASSERT_NE(g_msgDataChange, 0u);
    ASSERT_NE(g_measView, nullptr);
    ASSERT_NE(g_measMutex, nullptr);
    recorder_ = std::make_unique<RecordingQueue>();
    g_measThreadId = recorder_->threadId();
    SetSharedRecord(MeasRecord{});
    g_runMode = Interactive;
    g_firmwareYear = 2008;
    g_installPath = u"\\FLASHDISK\\";
    g_confParam59 = g_confParam58 = g_confParam57 = g_confParam56 = 0;
    std::error_code ignored;
    fs::remove_all(HostPath(u"\\VLMIS.OUT"), ignored);
    fs::remove_all(HostPath(u"\\VLVER.OUT"), ignored);
    fs::remove(ToolLogPath(), ignored);
}

void DialogTest::TearDown() {
    recorder_.reset();
    g_measThreadId = 0;
}

void DialogTest::SetSharedRecord(const MeasRecord& record) {
    std::copy(record.bytes.begin(), record.bytes.end(), g_measView);
}

std::vector<std::string> DialogTest::TakePosted() {
    std::vector<std::string> posted;
    for (const win::MSG& msg : recorder_->Take()) {
        std::ostringstream line;
        line << win::Utf16ToUtf8(win::GetRegisteredMessageName(msg.message)) << ' ' << msg.wParam
             << ' ' << msg.lParam;
        posted.push_back(line.str());
    }
    return posted;
}

std::optional<std::u16string> DialogTest::ResultLine(const char16_t* devicePath) {
    const std::string path = HostPath(devicePath);
    if (!FileExists(path)) return std::nullopt;
    const std::string bytes = ReadFileBytes(path);
    EXPECT_EQ(bytes.size(), 100u) << path;
    std::u16string line;
    for (std::size_t at = 0; at + 1 < bytes.size(); at += 2) {
        const auto unit = static_cast<char16_t>(static_cast<unsigned char>(bytes[at]) |
                                                static_cast<unsigned char>(bytes[at + 1]) << 8);
        if (unit == 0) break;
        line += unit;
    }
    return line;
}

std::vector<std::string> DialogTest::ToolLines(std::size_t count) {
    std::vector<std::string> lines;
    WaitUntil(
        [&] {
            lines.clear();
            std::ifstream log(ToolLogPath());
            for (std::string line; std::getline(log, line);) lines.push_back(line);
            return lines.size() >= count;
        },
        std::chrono::seconds(5));
    return lines;
}

}  // namespace nxtest
