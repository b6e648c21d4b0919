// nxdevice: lays out, inspects and drives a device (a host folder standing for the device's
// root folder). Run "nxdevice --help" for the commands.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "tools/nxdevice/commands.h"

namespace nxdevice {
namespace {

struct Command {
    const char* name;
    const char* usage;
    const char* summary;
    int (*run)(const Args&);
};

const Command kCommands[] = {
    {"init", "init DIR [--prefix \\FLASHDISK\\] [--ini FILE]",
     "lay out a device in the host folder DIR (created if missing): under the prefix folder,\n"
     "NEDIX\\NX.EXE (the measurement program's stand-in), NEDIX\\NxSetup.exe,\n"
     "NEDIX\\NxShortcut.EXE and NEDIX\\NXSIM.INI (FILE, checked first, or a commented sample\n"
     "with the defaults). Existing files are replaced; --root does not apply.",
     CmdInit},
    {"ps", "ps",
     "list the device's processes, one a line: process id, id of its first thread, and the\n"
     "file name it was started as (nxdevice itself is left out).",
     CmdPs},
    {"windows", "windows",
     "list the device's top-level windows, one a line: handle, owner process id, owner thread\n"
     "id and title.",
     CmdWindows},
    {"post", "post NAME [WPARAM [LPARAM]]",
     "register the message NAME and post it to every top-level window of the device, with\n"
     "WPARAM (unsigned) and LPARAM (signed), decimal or 0x-hex, 0 when left out. Fails when\n"
     "no window took it.",
     CmdPost},
    {"stop", "stop",
     "end the device's processes: SIGTERM, then SIGKILL for those still there after a second;\n"
     "then empty the device's runtime folder (its kernel objects, queues and tables). Never\n"
     "nxdevice itself nor the processes that started it (the shell that runs it).",
     CmdStop},
    {"click", "click ID [--title TEXT]",
     "click the control ID (decimal or 0x-hex; -1 for a control without an id) in the\n"
     "device's dialog as a user's click would, also a hidden one: BM_CLICK is posted to the\n"
     "one top-level window of the device, or to the one titled TEXT. Fails when no window or\n"
     "more than one could take it.",
     CmdClick},
};

const Command* FindCommand(std::string_view name) {
    for (const Command& c : kCommands)
        if (name == c.name) return &c;
    return nullptr;
}

void PrintHelp(std::FILE* out) {
    std::fprintf(out,
                 "usage: nxdevice [--root DIR] COMMAND [ARGUMENTS]\n"
                 "\n"
                 "Works on the device whose root folder is DIR, else $DEVICE_ROOT (default /).\n"
                 "Exit code 0 on success, 1 when the device refuses, 2 for a usage error.\n"
                 "\n"
                 "commands:\n");
    for (const Command& c : kCommands) {
        std::fprintf(out, "  %s\n", c.usage);
        std::string summary = c.summary;
        std::size_t at = 0;
        while (at < summary.size()) {
            std::size_t end = summary.find('\n', at);
            if (end == std::string::npos) end = summary.size();
            std::fprintf(out, "      %s\n", summary.substr(at, end - at).c_str());
            at = end + 1;
        }
    }
}

}  // namespace

int CommandError(std::string_view command, std::string_view message) {
    std::fprintf(stderr, "nxdevice %.*s: %.*s\n", static_cast<int>(command.size()), command.data(),
                 static_cast<int>(message.size()), message.data());
    return 1;
}

int UsageError(std::string_view command, std::string_view message) {
    CommandError(command, message);
    if (const Command* c = FindCommand(command))
        std::fprintf(stderr, "usage: nxdevice %s\n", c->usage);
    return 2;
}

std::string ToolFolder() {
    std::error_code ec;
    std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string(".") : self.parent_path().string();
}

}  // namespace nxdevice

int main(int argc, char** argv) {
    using namespace nxdevice;
    Args args(argv + 1, argv + argc);
    if (args.empty()) {
        PrintHelp(stderr);
        return 2;
    }
    if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        PrintHelp(stdout);
        return 0;
    }
    if (args[0] == "--root") {
        if (args.size() < 2) {
            std::fprintf(stderr, "nxdevice: --root needs a folder\n");
            return 2;
        }
        std::error_code ec;
        if (!std::filesystem::is_directory(args[1], ec)) {
            std::fprintf(stderr, "nxdevice: --root %s: not a folder\n", args[1].c_str());
            return 1;
        }
        // Read by the device's services on their first use, which is still to come.
        setenv("DEVICE_ROOT", args[1].c_str(), 1);
        args.erase(args.begin(), args.begin() + 2);
    }
    if (args.empty()) {
        std::fprintf(stderr, "nxdevice: no command given; see nxdevice --help\n");
        return 2;
    }
    const Command* command = FindCommand(args[0]);
    if (!command) {
        std::fprintf(stderr, "nxdevice: unknown command '%s'; see nxdevice --help\n",
                     args[0].c_str());
        return 2;
    }
    return command->run(Args(args.begin() + 1, args.end()));
}
