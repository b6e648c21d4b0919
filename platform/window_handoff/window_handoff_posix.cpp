// Window support for a program built without the window toolkit, so that it starts fast and
// small: the toolkit and its display libraries cost a process several milliseconds and
// megabytes before main, which a run that never shows a window should not pay. Windows are
// handed to programs built with the toolkit, found in the same folder:
//  - dialogs: the program replaces itself with its twin "<program>-window" (same process id,
//    arguments and environment) before it has made anything shared, and the twin runs
//    everything with real windows;
//  - message boxes: "nxmessagebox" shows the box and answers with the button pressed, while
//    this program waits for it, as for a box of its own.
// Without a display, or when the helper program is missing, windows stay headless.
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "platform/exec_pointers.h"
#include "platform/renderer.h"
#include "platform/unicode.h"

extern char** environ;

namespace win {
namespace {

constexpr const char* kMessageBoxProgram = "nxmessagebox";
constexpr const char* kTwinSuffix = "-window";

bool DisplayNamed() {
    const char* display = std::getenv("DISPLAY");
    return display && *display;
}

// The host path of this program's file, as the kernel knows it.
std::string OwnProgramPath() {
    std::string path(4096, '\0');
    ssize_t n = readlink("/proc/self/exe", path.data(), path.size());
    if (n <= 0 || static_cast<std::size_t>(n) >= path.size()) return {};
    path.resize(static_cast<std::size_t>(n));
    return path;
}

// A program beside this one that can be run, or nothing.
std::optional<std::string> ProgramBeside(const std::string& ownPath, const std::string& name) {
    const std::size_t slash = ownPath.rfind('/');
    if (slash == std::string::npos) return std::nullopt;
    std::string path = ownPath.substr(0, slash + 1) + name;
    if (access(path.c_str(), X_OK) != 0) return std::nullopt;
    return path;
}

// The arguments this process was started with, exactly (argv[0] included).
std::vector<std::string> OwnArguments() {
    std::vector<std::string> args;
    FILE* file = std::fopen("/proc/self/cmdline", "re");
    if (!file) return args;
    std::string current;
    for (int c; (c = std::fgetc(file)) != EOF;) {
        if (c == '\0') {
            args.push_back(std::move(current));
            current.clear();
        } else {
            current.push_back(static_cast<char>(c));
        }
    }
    std::fclose(file);
    return args;
}

void Note(const std::string& line) {
    std::string text = line + "\n";
    [[maybe_unused]] ssize_t n = write(STDERR_FILENO, text.data(), text.size());
}

void ReplaceWithWindowedTwin() {
    if (!DisplayNamed()) return;
    const std::string own = OwnProgramPath();
    const std::string name = own.substr(own.rfind('/') + 1);
    auto twin = ProgramBeside(own, name + kTwinSuffix);
    std::vector<std::string> args = OwnArguments();
    if (twin && !args.empty()) {
        std::vector<char*> argv = detail::ExecPointers(args);
        execve(twin->c_str(), argv.data(), environ);
    }
    Note(name + ": the window program " + name + kTwinSuffix +
         " cannot be started beside it; the dialog has no window");
}

// Headless in everything but message boxes, which the helper program shows.
class HandoffRenderer final : public Renderer {
  public:
    explicit HandoffRenderer(std::string helper)
        : helper_(std::move(helper)), headless_(MakeHeadlessRenderer()) {}

    BaseUnits DialogBaseUnits(const DialogTemplate& dialog) override {
        return headless_->DialogBaseUnits(dialog);
    }
    RECT WorkArea() override { return headless_->WorkArea(); }
    void DialogChanged(HWND dialog) override { headless_->DialogChanged(dialog); }
    void DialogDestroyed(HWND dialog) override { headless_->DialogDestroyed(dialog); }
    void WaitForInput(int queueDescriptor) override { headless_->WaitForInput(queueDescriptor); }

    // The helper's exit status is the button pressed; when it cannot be started or ends
    // otherwise, the box is shown the headless way instead, so its text is never lost.
    int MessageBox(HWND owner, std::u16string_view text, std::u16string_view caption,
                   UINT type) override {
        std::vector<std::string> args{helper_, Utf16ToUtf8(caption), Utf16ToUtf8(text),
                                      std::to_string(type)};
        std::vector<char*> argv = detail::ExecPointers(args);
        pid_t pid = -1;
        if (posix_spawn(&pid, helper_.c_str(), nullptr, nullptr, argv.data(), environ) == 0) {
            int status = 0;
            while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
            }
            if (WIFEXITED(status) && WEXITSTATUS(status) != 0) return WEXITSTATUS(status);
        }
        return headless_->MessageBox(owner, text, caption, type);
    }

  private:
    std::string helper_;
    std::unique_ptr<Renderer> headless_;
};

std::unique_ptr<Renderer> MakeHandoffRenderer() {
    if (!DisplayNamed()) return nullptr;
    auto helper = ProgramBeside(OwnProgramPath(), kMessageBoxProgram);
    if (!helper) return nullptr;
    return std::make_unique<HandoffRenderer>(*helper);
}

[[maybe_unused]] const bool kInstalled =
    (InstallWindowSupport({&MakeHandoffRenderer, &ReplaceWithWindowedTwin}), true);

}  // namespace
}  // namespace win
