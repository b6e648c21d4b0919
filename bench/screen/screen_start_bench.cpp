// Whole-process figures of the interactive run on screen, in a private Xvfb: the time from
// starting `nxbridge -Nor0 \FlashDisk\` (the stand-in already running, so the link pauses
// exactly once for 1500 ms) to its dialog's window being mapped, less that pause; and the
// process's peak memory (max RSS). The baseline, measured the same way in the same run, is an
// empty FLTK window. Each repetition is one process start; the window is closed as a window
// manager closes it.
#include <X11/Xlib.h>
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
constexpr double kPauseMs = 1500.0;
constexpr char kDialogTitle[] = "Velmo Dudada - Zamto serie X9";
constexpr char kEmptyTitle[] = "Empty FLTK window";

pid_t Spawn(const std::vector<std::string>& args, const std::vector<std::string>& extraEnv) {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) env.emplace_back(*e);
    env.insert(env.end(), extraEnv.begin(), extraEnv.end());
    std::vector<char*> argv, envp;
    for (auto& a : const_cast<std::vector<std::string>&>(args)) argv.push_back(a.data());
    for (auto& e : env) envp.push_back(e.data());
    argv.push_back(nullptr);
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

// A private X server, its display in DISPLAY; it dies with this process.
class Xvfb {
  public:
    Xvfb() {
        int ready[2];
        if (pipe(ready) != 0) return;
        const std::string fd = std::to_string(ready[1]);
        pid_ = fork();
        if (pid_ == 0) {
            prctl(PR_SET_PDEATHSIG, SIGKILL);
            int null = open("/dev/null", O_RDWR);
            dup2(null, 1);
            dup2(null, 2);
            execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "480x640x24",
                   "-nolisten", "tcp", "-noreset", static_cast<char*>(nullptr));
            _exit(127);
        }
        close(ready[1]);
        std::string number;
        pollfd p{ready[0], POLLIN, 0};
        char c;
        while (poll(&p, 1, 10000) > 0 && read(ready[0], &c, 1) == 1 && c != '\n') number += c;
        close(ready[0]);
        if (!number.empty()) setenv("DISPLAY", (":" + number).c_str(), 1);
        ok_ = !number.empty();
    }
    ~Xvfb() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
    }
    bool ok() const { return ok_; }

  private:
    pid_t pid_ = -1;
    bool ok_ = false;
};

// A temporary device laid out by nxdevice, with its stand-in NX.EXE running.
class Device {
  public:
    Device() {
        char pattern[] = "/tmp/nxbench-screen-XXXXXX";
        if (!mkdtemp(pattern)) return;
        root_ = pattern;
        Wait(Spawn({NX_DEVICE_PATH, "init", root_, "--prefix", "\\FlashDisk\\"}, {}));
        Spawn({root_ + "/FlashDisk/NEDIX/NX.EXE"}, Env());
        usleep(300 * 1000);  // the stand-in is up well within this
    }
    ~Device() {
        if (root_.empty()) return;
        Wait(Spawn({NX_DEVICE_PATH, "--root", root_, "stop"}, {}));
        std::error_code ec;
        std::filesystem::remove_all(root_, ec);
    }
    std::vector<std::string> Env() const { return {"DEVICE_ROOT=" + root_}; }

  private:
    static void Wait(pid_t pid) {
        if (pid > 0) waitpid(pid, nullptr, 0);
    }
    std::string root_;
};

struct Sample {
    double mappedMs = 0;  // from the start to the window being mapped
    long maxRssKb = 0;
};

// Starts the program, waits for its window with the title to be mapped, closes the window as a
// window manager does and reaps the process.
std::optional<Sample> StartUntilMapped(const std::vector<std::string>& args,
                                       const std::vector<std::string>& env, const char* title) {
    Display* display = XOpenDisplay(nullptr);
    if (!display) return std::nullopt;
    const Window root = DefaultRootWindow(display);
    XSelectInput(display, root, SubstructureNotifyMask);
    XSync(display, False);
    const auto start = Clock::now();
    const pid_t pid = Spawn(args, env);
    std::optional<Sample> sample;
    Window mapped = 0;
    const auto deadline = start + std::chrono::seconds(20);
    while (pid > 0 && !mapped && Clock::now() < deadline) {
        if (!XPending(display)) {
            pollfd p{ConnectionNumber(display), POLLIN, 0};
            poll(&p, 1, 50);
            continue;
        }
        XEvent e;
        XNextEvent(display, &e);
        if (e.type != MapNotify) continue;
        char* name = nullptr;
        if (XFetchName(display, e.xmap.window, &name) && name && std::string(name) == title)
            mapped = e.xmap.window;
        if (name) XFree(name);
        if (mapped) {
            sample = Sample{};
            sample->mappedMs =
                std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        }
    }
    if (mapped) {
        XEvent close{};
        close.xclient.type = ClientMessage;
        close.xclient.window = mapped;
        close.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
        close.xclient.format = 32;
        close.xclient.data.l[0] =
            static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
        XSendEvent(display, mapped, False, NoEventMask, &close);
        XSync(display, False);
    }
    XCloseDisplay(display);
    if (pid <= 0) return std::nullopt;
    int status = 0;
    rusage usage{};
    const auto reapBy = Clock::now() + std::chrono::seconds(10);
    while (wait4(pid, &status, WNOHANG, &usage) == 0) {
        if (Clock::now() > reapBy) {
            kill(pid, SIGKILL);
            wait4(pid, &status, 0, &usage);
            return std::nullopt;
        }
        usleep(2000);
    }
    if (sample) sample->maxRssKb = usage.ru_maxrss;
    return sample;
}

std::vector<Sample> g_bridge, g_empty;

void Measure(benchmark::State& state, const std::vector<std::string>& args,
             const std::vector<std::string>& env, const char* title, double pauseMs,
             std::vector<Sample>& samples) {
    for (auto _ : state) {
        std::optional<Sample> s = StartUntilMapped(args, env, title);
        if (!s) {
            state.SkipWithError("the window was not mapped, or the process did not end");
            return;
        }
        state.SetIterationTime((s->mappedMs - pauseMs) / 1000.0);
        state.counters["max_rss_kB"] = static_cast<double>(s->maxRssKb);
        samples.push_back(*s);
    }
}

Device* g_device = nullptr;

void BM_EmptyFltkWindowMapped(benchmark::State& state) {
    Measure(state, {NX_EMPTY_WINDOW_PATH}, {}, kEmptyTitle, 0.0, g_empty);
}

void BM_BridgeDialogMappedBeyondPause(benchmark::State& state) {
    Measure(state, {NX_BRIDGE_PATH, "-Nor0", "\\FlashDisk\\"}, g_device->Env(), kDialogTitle,
            kPauseMs, g_bridge);
}

BENCHMARK(BM_EmptyFltkWindowMapped)
    ->UseManualTime()
    ->Iterations(1)
    ->Repetitions(15)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BridgeDialogMappedBeyondPause)
    ->UseManualTime()
    ->Iterations(1)
    ->Repetitions(15)
    ->Unit(benchmark::kMillisecond);

template <typename F>
double Median(const std::vector<Sample>& samples, F field) {
    std::vector<double> v;
    for (const Sample& s : samples) v.push_back(field(s));
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
    Xvfb xvfb;
    if (!xvfb.ok()) {
        std::fprintf(stderr, "screen_start_bench: Xvfb did not start\n");
        return 1;
    }
    Device device;
    g_device = &device;
    // One untimed start of each first, so font caches are warm for every measured one.
    StartUntilMapped({NX_EMPTY_WINDOW_PATH}, {}, kEmptyTitle);
    StartUntilMapped({NX_BRIDGE_PATH, "-Nor0", "\\FlashDisk\\"}, device.Env(), kDialogTitle);

    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    const auto mapped = [](const Sample& s) { return s.mappedMs; };
    const auto rss = [](const Sample& s) { return static_cast<double>(s.maxRssKb); };
    const double bridgeMs = Median(g_bridge, mapped) - kPauseMs, emptyMs = Median(g_empty, mapped);
    const double bridgeKb = Median(g_bridge, rss), emptyKb = Median(g_empty, rss);
    if (!g_bridge.empty() && !g_empty.empty()) {
        std::printf("\nmedians over %zu starts each:\n", g_bridge.size());
        std::printf(
            "  start to mapped: bridge %.1f ms beyond the %.0f ms pause, empty FLTK "
            "window %.1f ms (ratio %.2f)\n",
            bridgeMs, kPauseMs, emptyMs, bridgeMs / emptyMs);
        std::printf("  max RSS: bridge %.0f kB, empty FLTK window %.0f kB (ratio %.2f)\n", bridgeKb,
                    emptyKb, bridgeKb / emptyKb);
    }
    return 0;
}
