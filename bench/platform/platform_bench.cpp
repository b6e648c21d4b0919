// Benchmarks of the device's kernel services on a temporary device of their own. Helper roles
// ("--writer", "--echo") run in a second process started from this same program.
#include <benchmark/benchmark.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/device.h"
#include "platform/device_posix.h"
#include "platform/message.h"
#include "platform/message_posix.h"
#include "platform/mutex.h"
#include "platform/process.h"
#include "platform/section.h"
#include "platform/toolhelp.h"

extern char** environ;

namespace {

using namespace win;

constexpr std::size_t kRecordBytes = 120;
constexpr UINT kPing = 0xC100, kPong = 0xC101;

struct Record {
    HANDLE section = nullptr, mutex = nullptr;
    unsigned char* view = nullptr;
    Record() {
        section = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, kRecordBytes,
                                     u"NXMAP");
        view = static_cast<unsigned char*>(MapViewOfFile(section, FILE_MAP_ALL_ACCESS, 0, 0, 0));
        mutex = CreateMutexW(nullptr, FALSE, u"NXMUTEX");
    }
    ~Record() {
        UnmapViewOfFile(view);
        CloseHandle(section);
        CloseHandle(mutex);
    }
};

std::uint32_t NowLow32Ns() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::uint32_t>(ts.tv_sec * 1'000'000'000ULL + ts.tv_nsec);
}

// A helper process running this program in a role; killed when the object goes. Its first
// output line (its message thread id, for the echo) is read back through a pipe.
class Helper {
  public:
    explicit Helper(std::vector<std::string> args) {
        int out[2];
        if (pipe(out) != 0) return;
        args.insert(args.begin(), "/proc/self/exe");
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        posix_spawn(&pid_, "/proc/self/exe", &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        close(out[1]);
        char buffer[64] = {};
        ssize_t n = read(out[0], buffer, sizeof buffer - 1);
        close(out[0]);
        if (n > 0) firstLine_ = buffer;
    }
    ~Helper() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }
    const std::string& firstLine() const { return firstLine_; }

  private:
    pid_t pid_ = -1;
    std::string firstLine_;
};

// Role: rewrites the record under the mutex without pause, as fast as it can.
int RunWriter() {
    Record record;
    std::printf("ready\n");
    std::fflush(stdout);
    for (unsigned char round = 0;; ++round) {
        WaitForSingleObject(record.mutex, INFINITE);
        std::memset(record.view, round, kRecordBytes);
        ReleaseMutex(record.mutex);
    }
}

// Role: answers each ping with a pong to the sender carrying how long the ping took to
// arrive (ns), measured on the shared monotonic clock.
int RunEcho(DWORD replyTo) {
    GetQueueDescriptor();
    std::printf("%u\n", GetCurrentThreadId());
    std::fflush(stdout);
    MSG m;
    while (GetMessageW(&m)) {
        if (m.message != kPing) continue;
        const std::uint32_t latency = NowLow32Ns() - m.wParam;
        PostThreadMessageW(replyTo, kPong, 0, static_cast<LPARAM>(latency));
    }
    return 0;
}

void CopyRecordUnderMutex(benchmark::State& state, Record& record) {
    unsigned char copy[kRecordBytes];
    for (auto _ : state) {
        if (WaitForSingleObject(record.mutex, INFINITE) == WAIT_OBJECT_0)
            std::memcpy(copy, record.view, kRecordBytes);
        ReleaseMutex(record.mutex);
        benchmark::DoNotOptimize(copy);
    }
}

void BM_LockCopyUnlock(benchmark::State& state) {
    Record record;
    CopyRecordUnderMutex(state, record);
}
BENCHMARK(BM_LockCopyUnlock);

void BM_LockCopyUnlockWhileAnotherProcessRewrites(benchmark::State& state) {
    Record record;
    Helper writer({"--writer"});
    CopyRecordUnderMutex(state, record);
}
BENCHMARK(BM_LockCopyUnlockWhileAnotherProcessRewrites)->UseRealTime();

void BM_PostToReceiveBetweenProcesses(benchmark::State& state) {
    GetQueueDescriptor();
    Helper echo({"--echo", std::to_string(GetCurrentThreadId())});
    const auto target = static_cast<DWORD>(std::stoul(echo.firstLine()));
    std::vector<double> latencies;
    for (auto _ : state) {
        PostThreadMessageW(target, kPing, NowLow32Ns(), 0);
        MSG m;
        do GetMessageW(&m);
        while (m.message != kPong);
        latencies.push_back(static_cast<std::uint32_t>(m.lParam) / 1000.0);
    }
    std::sort(latencies.begin(), latencies.end());
    if (!latencies.empty()) {
        state.counters["median_us"] = latencies[latencies.size() / 2];
        state.counters["p99_us"] = latencies[latencies.size() * 99 / 100];
    }
}
BENCHMARK(BM_PostToReceiveBetweenProcesses)->UseRealTime();

void BM_ProcessWalk(benchmark::State& state) {
    std::size_t found = 0;
    for (auto _ : state) {
        HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
        PROCESSENTRY32W e{};
        e.dwSize = sizeof e;
        found = 0;
        for (BOOL ok = Process32First(snap, &e); ok; ok = Process32Next(snap, &e)) ++found;
        CloseToolhelp32Snapshot(snap);
    }
    state.counters["device_processes"] = static_cast<double>(found);
    state.counters["host_processes"] = static_cast<double>(std::distance(
        std::filesystem::directory_iterator("/proc"), std::filesystem::directory_iterator()));
}
BENCHMARK(BM_ProcessWalk);

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && std::string(argv[1]) == "--writer") return RunWriter();
    if (argc >= 3 && std::string(argv[1]) == "--echo")
        return RunEcho(static_cast<DWORD>(std::stoul(argv[2])));

    char root[] = "/tmp/nxbench-XXXXXX";
    if (!mkdtemp(root)) return 1;
    setenv("DEVICE_ROOT", root, 1);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::error_code ec;
    std::filesystem::remove_all(RuntimeDirectory(), ec);
    std::filesystem::remove_all(root, ec);
    return 0;
}
