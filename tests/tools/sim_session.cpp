#include "tests/tools/sim_session.h"

#include <poll.h>
#include <signal.h>

#include <cctype>
#include <cstring>
#include <filesystem>

#include "link/protocol/meas_protocol.h"
#include "platform/message_posix.h"
#include "platform/mutex.h"
#include "platform/section.h"
#include "platform/toolhelp.h"
#include "platform/window_table_posix.h"

namespace nxtest {

std::string ToolPath(const std::string& name) {
    return std::string(NX_TOOL_DIR) + "/" + name;
}

std::vector<win::DWORD> ThreadsOf(pid_t pid) {
    std::vector<win::DWORD> threads;
    win::HANDLE snapshot = win::CreateToolhelp32Snapshot(win::TH32CS_SNAPTHREAD, 0);
    if (snapshot == win::INVALID_HANDLE_VALUE) return threads;
    win::THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (bool ok = win::Thread32First(snapshot, &entry); ok;
         ok = win::Thread32Next(snapshot, &entry))
        if (entry.th32OwnerProcessID == static_cast<win::DWORD>(pid))
            threads.push_back(entry.th32ThreadID);
    win::CloseToolhelp32Snapshot(snapshot);
    return threads;
}

win::DWORD FirstThreadOf(pid_t pid) {
    std::vector<win::DWORD> threads = ThreadsOf(pid);
    return threads.empty() ? 0 : threads.front();
}

SimSession::SimSession(const std::string& scenario, const std::string& iniName) {
    const TempDevice& device = ToolsDevice();
    device.CopyIn(ToolPath("nxsim"), "FLASHDISK/NEDIX/NX.EXE");
    // An earlier session's scenario, under any letter case, must not speak for this one.
    for (const auto& entry : std::filesystem::directory_iterator(device.Path("FLASHDISK/NEDIX"))) {
        std::string name = entry.path().filename().string();
        for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        if (name == "NXSIM.INI") std::filesystem::remove(entry.path());
    }
    if (!scenario.empty()) device.WriteFile("FLASHDISK/NEDIX/" + iniName, scenario);
    window_ = win::AddTopLevelWindow(u"nxsim test client");
}

SimSession::~SimSession() {
    Stop();  // and killed when it does not end in time
    standIn_.reset();
    if (view_) win::UnmapViewOfFile(view_);
    if (section_) win::CloseHandle(section_);
    if (mutex_) win::CloseHandle(mutex_);
    if (window_) win::RemoveTopLevelWindow(window_);
    // Whatever arrived for this session's window stays with it.
    win::MSG msg;
    while (win::PeekMessageW(&msg)) {
    }
}

void SimSession::Launch() {
    // What earlier stand-ins posted to this thread is no news from this one.
    win::MSG stale;
    while (win::PeekMessageW(&stale)) {
    }
    kept_.clear();
    standIn_.emplace(std::vector{ToolsDevice().Path("FLASHDISK/NEDIX/NX.EXE")}, ToolsDevice());
}

bool SimSession::Start() {
    Launch();
    if (!WaitFor(kMsgDataChange, 10s)) return false;
    thread_ = FirstThreadOf(pid());
    return thread_ != 0;
}

bool SimSession::Post(std::u16string_view name, win::WPARAM wParam, win::LPARAM lParam) {
    return win::PostThreadMessageW(thread_, win::RegisterWindowMessageW(name), wParam, lParam);
}

std::optional<win::MSG> SimSession::Receive(std::chrono::steady_clock::time_point until) {
    win::MSG msg;
    for (;;) {
        if (win::PeekMessageW(&msg)) return msg;
        auto left =
            std::chrono::ceil<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
        if (left.count() <= 0) return std::nullopt;
        pollfd p{win::GetQueueDescriptor(), POLLIN, 0};
        poll(&p, 1, static_cast<int>(left.count()));
    }
}

std::optional<win::MSG> SimSession::WaitFor(std::u16string_view name,
                                            std::chrono::milliseconds timeout) {
    const win::UINT id = win::RegisterWindowMessageW(name);
    for (auto it = kept_.begin(); it != kept_.end(); ++it) {
        if (it->message == id) {
            win::MSG msg = *it;
            kept_.erase(it);
            return msg;
        }
    }
    const auto until = std::chrono::steady_clock::now() + timeout;
    while (auto msg = Receive(until)) {
        if (msg->hwnd != window_) continue;
        if (msg->message == id) return msg;
        kept_.push_back(*msg);
    }
    return std::nullopt;
}

std::vector<win::MSG> SimSession::Collect(std::chrono::milliseconds duration, bool allWindows) {
    std::vector<win::MSG> out(kept_.begin(), kept_.end());
    kept_.clear();
    const auto until = std::chrono::steady_clock::now() + duration;
    while (auto msg = Receive(until))
        if (allWindows || msg->hwnd == window_) out.push_back(*msg);
    return out;
}

MeasRecord SimSession::ReadRecord() {
    if (!mutex_) {
        section_ = win::CreateFileMappingW(win::INVALID_HANDLE_VALUE, nullptr, win::PAGE_READWRITE,
                                           0, kMeasRecordSize, kMeasSectionName);
        view_ = win::MapViewOfFile(section_, win::FILE_MAP_ALL_ACCESS, 0, 0, 0);
        mutex_ = win::CreateMutexW(nullptr, win::FALSE, kMeasMutexName);
    }
    MeasRecord record;
    win::DWORD wait = win::WaitForSingleObject(mutex_, win::INFINITE);
    if (wait == win::WAIT_OBJECT_0 || wait == win::WAIT_ABANDONED) {
        std::memcpy(record.bytes.data(), view_, kMeasRecordSize);
        win::ReleaseMutex(mutex_);
    }
    return record;
}

std::optional<int> SimSession::Stop(std::chrono::milliseconds timeout) {
    if (!standIn_) return 0;
    if (!standIn_->Ended()) kill(standIn_->pid(), SIGTERM);
    return WaitExit(timeout);
}

std::optional<int> SimSession::WaitExit(std::chrono::milliseconds timeout) {
    return standIn_ ? standIn_->Wait(timeout) : std::optional<int>(0);
}

}  // namespace nxtest
