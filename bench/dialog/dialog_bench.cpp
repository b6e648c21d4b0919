// The measurement dialog's share of a notification, headless, on a temporary device:
//   - BM_DataChangeRefresh: the data-change handling called directly, as an unattended run
//     polls: the record copied under the mutex, three texts formatted, the controls and the
//     firmware label updated (its floor: the platform's lock + copy 120 bytes + unlock);
//   - BM_NotificationToDisplay: another process posts "NXDATACHANGE" to every top-level window,
//     and this one takes it from its queue and dispatches it to the dialog, as the modal loop
//     does, until the display is refreshed (its floor: the platform's post between processes).
// The helper role ("--notifier") runs in a second process started from this same program.
#include <benchmark/benchmark.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "app/run_mode.h"
#include "dialog/measure_dlg.h"
#include "dialog/resource.h"
#include "link/meas_link.h"
#include "link/protocol/meas_protocol.h"
#include "platform/message.h"
#include "platform/message_posix.h"
#include "platform/mutex.h"
#include "platform/process.h"
#include "platform/renderer_posix.h"
#include "platform/section.h"
#include "platform/window.h"
#include "tests/support/temp_device.h"

extern char** environ;

namespace {

constexpr win::UINT kNotifyNow = 0xC3F0;  // to the notifier: post the next notification

std::uint32_t NowLow32Ns() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::uint32_t>(ts.tv_sec * 1'000'000'000ULL + ts.tv_nsec);
}

// The link as ConnectMeasSystem leaves it, over a record of this process's own; commands go to
// a thread that has no queue. False when the link could not be opened.
bool ConnectToOwnRecord() {
    win::SetRenderer(win::MakeHeadlessRenderer());
    if (!OpenMeasResources()) return false;
    g_measThreadId = 0;
    g_runMode = AnglesAndDistance;
    g_firmwareYear = 2008;
    g_installPath = u"\\FLASHDISK\\";
    MeasRecord record;  // degrees-minutes-seconds and a distance: every text is formatted
    record.setHzAngle(451234);
    record.setVAngle(324017);
    record.setDistanceValid(1);
    record.setEdmState(1);
    record.setSlopeDistance(25.431);
    std::copy(record.bytes.begin(), record.bytes.end(), g_measView);
    return true;
}

void BM_DataChangeRefresh(benchmark::State& state) {
    CMeasureDlg dialog;
    dialog.Create(IDD_MEASURE);
    for (auto _ : state) dialog.WindowProc(g_msgDataChange, 0, 0);
    if (dialog.m_strSlopeDistance != u"25.431") state.SkipWithError("the refresh did not run");
    dialog.DestroyWindow();
}
BENCHMARK(BM_DataChangeRefresh);

// Role: on each kNotifyNow, posts "NXDATACHANGE" to every top-level window, stamped with the
// moment of the post.
int RunNotifier() {
    win::UINT dataChange = win::RegisterWindowMessageW(kMsgDataChange);
    win::GetQueueDescriptor();
    std::printf("%u\n", win::GetCurrentThreadId());
    std::fflush(stdout);
    win::MSG m;
    while (win::GetMessageW(&m)) {
        if (m.message == kNotifyNow)
            win::PostMessageW(win::HWND_BROADCAST, dataChange, NowLow32Ns(), 0);
    }
    return 0;
}

// Starts this program as the notifier; returns its pid and its message thread id.
pid_t StartNotifier(win::DWORD& threadId) {
    int out[2];
    if (pipe(out) != 0) return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    char self[] = "/proc/self/exe", role[] = "--notifier";
    char* argv[] = {self, role, nullptr};
    pid_t pid = -1;
    posix_spawn(&pid, self, &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    char line[32] = {};
    ssize_t n = read(out[0], line, sizeof line - 1);
    close(out[0]);
    threadId = n > 0 ? static_cast<win::DWORD>(std::strtoul(line, nullptr, 10)) : 0;
    return pid;
}

void BM_NotificationToDisplay(benchmark::State& state) {
    CMeasureDlg dialog;
    dialog.Create(IDD_MEASURE);
    win::GetQueueDescriptor();
    win::DWORD notifier = 0;
    pid_t pid = StartNotifier(notifier);
    std::vector<double> latencies;
    for (auto _ : state) {
        win::PostThreadMessageW(notifier, kNotifyNow, 0, 0);
        win::MSG m;
        do {
            win::GetMessageW(&m);
            win::DispatchMessageW(&m);  // also the dialog's own posts, as the modal loop would
        } while (m.message != g_msgDataChange);
        latencies.push_back(static_cast<std::uint32_t>(NowLow32Ns() - m.wParam) / 1000.0);
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    dialog.DestroyWindow();
    std::sort(latencies.begin(), latencies.end());
    if (!latencies.empty()) {
        state.counters["median_us"] = latencies[latencies.size() / 2];
        state.counters["p99_us"] = latencies[latencies.size() * 99 / 100];
    }
}
BENCHMARK(BM_NotificationToDisplay)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::string_view(argv[1]) == "--notifier") return RunNotifier();
    nxtest::TempDevice device;
    nxtest::UseDevice(device);
    if (!ConnectToOwnRecord()) return 1;
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    DisconnectMeasSystem();
    return 0;
}
