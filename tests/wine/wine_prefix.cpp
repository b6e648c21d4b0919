#include "tests/wine/wine_prefix.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <utility>

#include "tests/support/expected_file.h"

extern char** environ;

namespace nxtest {
namespace fs = std::filesystem;

namespace {

// The file whose making ends a holder of a device file (nxwinprobe holdfile).
constexpr char kHoldEnd[] = "NXHOLD.END";

// Drive letters for devices; c: and z: are the prefix's own.
constexpr char kDriveLetters[] = "defghijklmnopqrstuvwxy";

// What a Windows program needs from the session's file; the rest is the session's own.
constexpr const char* kWindowsEnvironment[] = {
    "WINEPREFIX=", "WINEDEBUG=", "WINEDLLOVERRIDES=", "DISPLAY="};

WinePrefix* g_prefix = nullptr;

// Runs the session script to its end under a time limit, without a device or a display of the
// test's; its errors go to the test's standard error. True when it exited with 0.
bool RunSessionScript(const std::string& verb, const std::string& file,
                      std::chrono::seconds limit) {
    std::vector<std::string> args = {
        "timeout", "-k", "5", std::to_string(limit.count()), "/bin/sh", NX_WINE_SESSION_SCRIPT,
        verb,      file};
    std::vector<std::string> environment;
    for (char** e = environ; *e; ++e) {
        std::string_view entry(*e);
        if (entry.rfind("DEVICE_ROOT=", 0) == 0 || entry.rfind("DISPLAY=", 0) == 0) continue;
        environment.emplace_back(entry);
    }
    std::vector<char*> argv, envp;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    for (auto& e : environment) envp.push_back(e.data());
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
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
        throw std::runtime_error("no Windows programs in " NX_WINDOWS_BIN);
    const char* session = std::getenv("NX_WINE_SESSION");
    if (session && *session) {
        sessionFile_ = session;
    } else {
        std::string pattern = "/tmp/nxwine-run-XXXXXX";
        if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
        ownFolder_ = pattern;
        sessionFile_ = ownFolder_ + "/session";
        if (!RunSessionScript("start", sessionFile_, 300s)) {
            fs::remove_all(ownFolder_);
            throw std::runtime_error("cannot make a Wine session");
        }
    }
    std::ifstream in(sessionFile_);
    for (std::string line; std::getline(in, line);) {
        for (const char* name : kWindowsEnvironment)
            if (line.rfind(name, 0) == 0) env_.push_back(line);
        if (line.rfind("WINEPREFIX=", 0) == 0) path_ = line.substr(11);
        if (line.rfind("DISPLAY=", 0) == 0) setenv("DISPLAY", line.c_str() + 8, 1);
    }
    if (path_.empty() || env_.size() != std::size(kWindowsEnvironment)) {
        if (!ownFolder_.empty()) {
            RunSessionScript("end", sessionFile_, 60s);
            fs::remove_all(ownFolder_);
        }
        throw std::runtime_error("no Wine session in " + sessionFile_);
    }
}

WinePrefix::~WinePrefix() {
    if (ownFolder_.empty()) return;
    RunSessionScript("end", sessionFile_, 60s);
    std::error_code ec;
    fs::remove_all(ownFolder_, ec);
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
    // folder on that drive, whose root is the device's root. Another test program of the
    // session may hold a letter: making the link claims it.
    const std::string dosdevices = WinePrefix::Shared().path() + "/dosdevices/";
    for (const char* letter = kDriveLetters; *letter && drive_.empty(); ++letter) {
        const std::string drive = std::string(1, *letter) + ":";
        if (symlink(device_.root().c_str(), (dosdevices + drive).c_str()) == 0) drive_ = drive;
    }
    if (drive_.empty()) throw std::runtime_error("no drive letter free in " + dosdevices);
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

WineDevice::Holder WineDevice::HoldOpen(const std::string& devicePath) const {
    std::error_code ec;
    fs::remove(Path(kHoldEnd), ec);
    Child program = Start(WindowsProgram("nxwinprobe.exe"),
                          {"holdfile", devicePath, std::string("\\") + kHoldEnd});
    if (program.Line(0, 20s).rfind("held", 0) != 0)
        throw std::runtime_error("nxwinprobe could not hold " + devicePath + " open");
    return Holder(*this, std::move(program));
}

WineDevice::Holder::Holder(const WineDevice& device, Child program)
    : device_(&device), program_(std::move(program)) {}

WineDevice::Holder::Holder(Holder&& other) noexcept
    : device_(other.device_), program_(std::exchange(other.program_, std::nullopt)) {}

void WineDevice::Holder::End() {
    if (!program_) return;
    device_->device().WriteFile(kHoldEnd, "");
    if (!program_->Wait(20s)) program_->Kill();
    program_.reset();
    std::error_code ec;
    fs::remove(device_->Path(kHoldEnd), ec);
}

std::string LayOutPreviousFile(const TempDevice& device, const std::string& rootFile,
                               std::size_t fieldCount, Refusal refusal) {
    if (refusal == Refusal::Folder) {
        fs::create_directory(device.Path(rootFile));
        return "";
    }
    std::u16string line;
    for (std::size_t i = 0; i < fieldCount; ++i) line += u"previous\u00A7";
    const std::string bytes = ResultFileBytes(line);
    device.WriteFile(rootFile, bytes);
    if (refusal == Refusal::ReadOnly) chmod(device.Path(rootFile).c_str(), 0444);
    return bytes;
}

std::vector<std::string> LeftTemporaries(const TempDevice& device) {
    std::vector<std::string> left;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(device.root(), ec)) {
        const std::string name = entry.path().filename().string();
        if (name.find(".nxtmp.") != std::string::npos) left.push_back(name);
    }
    return left;
}

std::vector<std::string> Requests(std::vector<std::string> more) {
    std::vector<std::string> commands = {"NXCONFPARAMETER 11 0", "NXCONFPARAMETER 59 0",
                                         "NXCONFPARAMETER 58 0", "NXCONFPARAMETER 57 0",
                                         "NXCONFPARAMETER 56 0"};
    commands.insert(commands.end(), more.begin(), more.end());
    return commands;
}

}  // namespace nxtest
