#include "tests/wine/wine_prefix.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include "tests/screen/virtual_screen.h"

extern char** environ;

namespace nxtest {
namespace fs = std::filesystem;

namespace {

// Drive letters for devices; c: and z: are the prefix's own.
constexpr char kDriveLetters[] = "defghijklmnopqrstuvwxy";

WinePrefix* g_prefix = nullptr;

// Runs a program of the prefix's own (wineserver, wineboot, reg) to its end under a time
// limit, with the prefix's environment and no device. True when it exited with 0.
bool RunPrefixTool(const std::vector<std::string>& command, const std::vector<std::string>& env,
                   std::chrono::seconds limit) {
    std::vector<std::string> args = {"timeout", "-k", "5", std::to_string(limit.count())};
    args.insert(args.end(), command.begin(), command.end());
    std::vector<std::string> environment;
    for (char** e = environ; *e; ++e) {
        std::string_view entry(*e);
        if (entry.rfind("DEVICE_ROOT=", 0) == 0 || entry.rfind("DISPLAY=", 0) == 0) continue;
        environment.emplace_back(entry);
    }
    environment.insert(environment.end(), env.begin(), env.end());
    std::vector<char*> argv, envp;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    for (auto& e : environment) envp.push_back(e.data());
    envp.push_back(nullptr);
    // Its outputs, and those of a server it leaves running, never reach the test's own.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    for (int fd = 0; fd <= 2; ++fd)
        posix_spawn_file_actions_addopen(&actions, fd, "/dev/null", fd ? O_WRONLY : O_RDONLY, 0);
    pid_t pid = -1;
    int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) return false;
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

std::string WindowsProgram(const std::string& name) {
    return std::string(NX_WINDOWS_BIN) + "/" + name;
}

WinePrefix& WinePrefix::Shared() {
    if (!g_prefix) g_prefix = new WinePrefix();
    return *g_prefix;
}

void WinePrefix::End() {
    delete g_prefix;
    g_prefix = nullptr;
}

WinePrefix::WinePrefix() {
    if (!fs::exists(WindowsProgram("nxbridge.exe")))
        throw std::runtime_error("no Windows build in " NX_WINDOWS_BIN
                                 ": cmake --preset windows && cmake --build --preset windows");
    VirtualScreen* screen = VirtualScreen::Shared();
    if (!screen) throw std::runtime_error("no virtual screen (Xvfb, xdotool)");
    std::string pattern = "/tmp/nxwine-XXXXXX";
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    folder_ = pattern;
    path_ = folder_ + "/prefix";
    fs::create_directory(path_);
    env_ = {"WINEPREFIX=" + path_, "WINEDEBUG=-all",
            "WINEDLLOVERRIDES=mscoree,mshtml=", "DISPLAY=" + screen->display()};
    // The server first, kept for the whole program: every wine call after it starts warm. It
    // stays a minute after its last program, so it ends by itself should this program die.
    // Without a window manager, Wine draws the windows' captions itself only when asked to.
    if (!RunPrefixTool({"wineserver", "-p60"}, env_, 30s) ||
        !RunPrefixTool({"wineboot", "-i"}, env_, 180s) ||
        !RunPrefixTool({"wine", "reg", "add", "HKCU\\Software\\Wine\\X11 Driver", "/v", "Decorated",
                        "/d", "N", "/f"},
                       env_, 60s)) {
        RunPrefixTool({"wineserver", "-k"}, env_, 30s);
        std::error_code ec;
        fs::remove_all(folder_, ec);
        throw std::runtime_error("cannot make the Wine prefix in " + path_);
    }
}

WinePrefix::~WinePrefix() {
    RunPrefixTool({"wineserver", "-k"}, env_, 30s);
    std::error_code ec;
    fs::remove_all(folder_, ec);
}

std::vector<std::string> WinePrefix::WineCommand(const std::string& hostFolder,
                                                 const std::string& program,
                                                 const std::vector<std::string>& args,
                                                 std::chrono::seconds limit) const {
    std::vector<std::string> command = {
        "/bin/sh", "-c", "cd \"$1\" && shift && exec \"$@\"", "sh",   hostFolder, "timeout",
        "-k",      "5",  std::to_string(limit.count()),       "wine", program};
    command.insert(command.end(), args.begin(), args.end());
    return command;
}

WineDevice::WineDevice(const std::string& scenario, bool withStandIn) {
    if (withStandIn) {
        device_.CopyIn(WindowsProgram("nxsim.exe"), "FLASHDISK/NEDIX/NX.EXE");
        device_.CopyIn(WindowsProgram("nxsetup.exe"), "FLASHDISK/NEDIX/NxSetup.exe");
        device_.CopyIn(WindowsProgram("nxshortcut.exe"), "FLASHDISK/NEDIX/NxShortcut.EXE");
        device_.WriteFile("FLASHDISK/NEDIX/NXSIM.INI", scenario);
    }
    // A letter of its own: the programs started from the device's folder have their current
    // folder on that drive, whose root is the device's root.
    static std::size_t next = 0;
    drive_ = std::string(1, kDriveLetters[next++ % (sizeof kDriveLetters - 1)]) + ":";
    const fs::path link = WinePrefix::Shared().path() + "/dosdevices/" + drive_;
    std::error_code ec;
    fs::remove(link, ec);
    fs::create_directory_symlink(device_.root(), link);
}

WineDevice::~WineDevice() {
    // The prefix's process walks see every device of the prefix: no stand-in may outlive its
    // device into the next test.
    Run(WindowsProgram("nxwinprobe.exe"), {"kill", "NX.EXE"});
    std::error_code ec;
    fs::remove(WinePrefix::Shared().path() + "/dosdevices/" + drive_, ec);
}

Child WineDevice::Start(const std::string& program, const std::vector<std::string>& args,
                        std::chrono::seconds limit, const std::string& folder,
                        const std::vector<std::string>& extraEnv) const {
    const WinePrefix& prefix = WinePrefix::Shared();
    std::vector<std::string> env = prefix.Environment();
    env.insert(env.end(), extraEnv.begin(), extraEnv.end());
    return Child(prefix.WineCommand(device_.Path(folder), program, args, limit), device_, env);
}

ProcessResult WineDevice::Run(const std::string& program, const std::vector<std::string>& args,
                              std::chrono::seconds limit) const {
    const WinePrefix& prefix = WinePrefix::Shared();
    return RunProcess(prefix.WineCommand(device_.root(), program, args, limit), device_,
                      limit + 10s, prefix.Environment());
}

std::vector<std::string> Requests(std::vector<std::string> more) {
    std::vector<std::string> commands = {"NXCONFPARAMETER 11 0", "NXCONFPARAMETER 59 0",
                                         "NXCONFPARAMETER 58 0", "NXCONFPARAMETER 57 0",
                                         "NXCONFPARAMETER 56 0"};
    commands.insert(commands.end(), more.begin(), more.end());
    return commands;
}

}  // namespace nxtest
