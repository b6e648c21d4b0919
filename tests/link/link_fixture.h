#pragma once
// A link test on the test program's device: the application object that captions the boxes,
// the boxes shown, measurement programs installed or started, and everything ended afterwards.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "app/run_mode.h"
#include "framework/win_app.h"
#include "link/meas_link.h"
#include "platform/fault.h"
#include "platform/message_box.h"
#include "platform/renderer_posix.h"
#include "platform/toolhelp.h"
#include "tests/link_support/device_processes.h"
#include "tests/support/child.h"
#include "tests/support/temp_device.h"

namespace nxtest {

struct ShownBox {
    std::u16string text, caption;
    bool linkHeldNothing;  // section, view and mutex were all none while it was shown
};

class LinkTest : public testing::Test {
  protected:
    void SetUp() override {
        root_ = std::getenv("DEVICE_ROOT");
        win::fault::Reset();
        ForgetLinkState();
        g_installPath = u"\\NOWHERE\\";
        // Boxes go to standard error even when a display is there.
        win::SetRenderer(win::MakeHeadlessRenderer());
        win::SetMessageBoxObserver(
            [this](std::u16string_view text, std::u16string_view caption, win::UINT) {
                boxes_.push_back({std::u16string(text), std::u16string(caption),
                                  !g_measSection && !g_measView && !g_measMutex});
            });
    }

    void TearDown() override {
        win::SetMessageBoxObserver(nullptr);
        win::fault::Reset();
        DisconnectMeasSystem();
        started_.clear();
        // And what the link itself started.
        KillProcessesRunningFrom(root_);
        // The next test of this program finds the device empty again.
        std::error_code ec;
        for (const auto& entry : std::filesystem::directory_iterator(root_, ec))
            std::filesystem::remove_all(entry.path(), ec);
    }

    static void ForgetLinkState() {
        DisconnectMeasSystem();
        g_measThreadId = 0;
        for (win::UINT* id : MessageIds()) *id = 0;
    }

    // The seven ids in the order they are registered.
    static std::vector<win::UINT*> MessageIds() {
        return {&g_msgDataChange,    &g_msgSetEdmMode, &g_msgSetParameter, &g_msgConfParameter,
                &g_msgListParameter, &g_msgTiltOver,   &g_msgSysError};
    }

    // Copies the measurement peer into the device; returns its host path.
    std::string Install(const std::string& relative) const {
        std::string host = root_ + "/" + relative;
        std::filesystem::create_directories(std::filesystem::path(host).parent_path());
        std::filesystem::copy_file(MeasPeerPath(), host,
                                   std::filesystem::copy_options::overwrite_existing);
        return host;
    }

    // Installs and starts the peer, and waits until the device lists it. Returns its pid; it
    // runs until the test ends.
    pid_t Start(const std::string& relative) {
        const pid_t pid =
            started_.emplace_back(std::vector{Install(relative)}, *CurrentDevice()).pid();
        EXPECT_TRUE(WaitUntil([&] { return DeviceLists(pid); }, std::chrono::seconds(5)))
            << relative << " never appeared in the process list";
        return pid;
    }

    // Whether the platform's process walk lists the process.
    static bool DeviceLists(pid_t pid) {
        win::HANDLE snapshot = win::CreateToolhelp32Snapshot(win::TH32CS_SNAPPROCESS, 0);
        if (snapshot == win::INVALID_HANDLE_VALUE) return false;
        bool listed = false;
        win::PROCESSENTRY32W entry{};
        entry.dwSize = sizeof entry;
        for (win::BOOL more = win::Process32First(snapshot, &entry); more && !listed;
             more = win::Process32Next(snapshot, &entry))
            listed = entry.th32ProcessID == static_cast<win::DWORD>(pid);
        win::CloseToolhelp32Snapshot(snapshot);
        return listed;
    }

    // The process that owns a thread, by the platform's thread walk; 0 when none does.
    static win::DWORD OwnerOfThread(win::DWORD threadId) {
        win::HANDLE snapshot = win::CreateToolhelp32Snapshot(win::TH32CS_SNAPTHREAD, 0);
        if (snapshot == win::INVALID_HANDLE_VALUE) return 0;
        win::DWORD owner = 0;
        win::THREADENTRY32 entry{};
        entry.dwSize = sizeof entry;
        for (win::BOOL more = win::Thread32First(snapshot, &entry); more && !owner;
             more = win::Thread32Next(snapshot, &entry))
            if (entry.th32ThreadID == threadId) owner = entry.th32OwnerProcessID;
        win::CloseToolhelp32Snapshot(snapshot);
        return owner;
    }

    CWinApp app_{u"nxbridge"};
    std::string root_;
    std::vector<ShownBox> boxes_;
    std::vector<Child> started_;
};

}  // namespace nxtest
