#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/device.h"
#include "platform/unicode.h"
#include "tools/nxdevice/commands.h"
#include "tools/nxsim/scenario.h"

namespace nxdevice {
namespace {

namespace fs = std::filesystem;

// A folder prefix as the bridge takes it: "\A\B\", whatever slashes it was written with.
std::string NormalisePrefix(std::string prefix) {
    for (char& c : prefix)
        if (c == '/') c = '\\';
    if (prefix.empty() || prefix.front() != '\\') prefix.insert(prefix.begin(), '\\');
    if (prefix.back() != '\\') prefix.push_back('\\');
    return prefix;
}

std::string HostPath(const std::string& devicePath) {
    return win::ResolveDevicePath(win::Utf8ToUtf16(devicePath));
}

// Puts the bytes of a file in place whole: written beside it and renamed over it, so that a
// running copy of the old program is not disturbed.
bool Install(const fs::path& from, const std::string& to, fs::perms perms, std::string* error) {
    const std::string temporary = to + ".nxdevice-new";
    std::error_code ec;
    fs::copy_file(from, temporary, fs::copy_options::overwrite_existing, ec);
    if (!ec) fs::permissions(temporary, perms, ec);
    if (!ec) fs::rename(temporary, to, ec);
    if (ec) {
        fs::remove(temporary);
        *error = "cannot install " + to + ": " + ec.message();
    }
    return !ec;
}

bool WriteText(const std::string& to, const std::string& text, std::string* error) {
    const std::string temporary = to + ".nxdevice-new";
    std::ofstream(temporary, std::ios::binary | std::ios::trunc) << text;
    std::error_code ec;
    if (fs::file_size(temporary, ec) != text.size() || ec) {
        fs::remove(temporary, ec);
        *error = "cannot write " + to;
        return false;
    }
    fs::rename(temporary, to, ec);
    if (ec) *error = "cannot write " + to + ": " + ec.message();
    return !ec;
}

}  // namespace

int CmdInit(const Args& args) {
    std::string dir, prefix = "\\FLASHDISK\\", iniFile;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if ((args[i] == "--prefix" || args[i] == "--ini") && i + 1 >= args.size())
            return UsageError("init", args[i] + " needs a value");
        if (args[i] == "--prefix") {
            prefix = args[++i];
        } else if (args[i] == "--ini") {
            iniFile = args[++i];
        } else if (args[i].starts_with("-") || !dir.empty()) {
            return UsageError("init", "unexpected argument '" + args[i] + "'");
        } else {
            dir = args[i];
        }
    }
    if (dir.empty()) return UsageError("init", "needs the folder DIR");
    prefix = NormalisePrefix(prefix);

    // Everything that can be checked is checked before the device is touched.
    const fs::path tools = ToolFolder();
    const struct {
        const char* binary;
        const char* name;
    } programs[] = {
        {"nxsim", "NX.EXE"}, {"nxsetup", "NxSetup.exe"}, {"nxshortcut", "NxShortcut.EXE"}};
    for (const auto& program : programs)
        if (!fs::is_regular_file(tools / program.binary))
            return CommandError(
                "init", std::string("cannot find ") + program.binary + " in " + tools.string());
    std::string scenarioText = nxsim::SampleScenarioText();
    if (!iniFile.empty()) {
        std::ifstream in(iniFile, std::ios::binary);
        std::ostringstream text;
        if (!in || !(text << in.rdbuf())) return CommandError("init", "cannot read " + iniFile);
        nxsim::Scenario ignored;
        if (auto error = nxsim::ParseScenario(text.str(), &ignored))
            return CommandError("init", error->Describe(iniFile));
        scenarioText = text.str();
    }

    std::error_code ec;
    fs::create_directories(dir, ec);
    if (ec || !fs::is_directory(dir))
        return CommandError("init", "cannot create the folder " + dir);
    // The device's paths are resolved inside DIR, matching existing names without regard to
    // letter case; no service of the device has been used before this point.
    setenv("DEVICE_ROOT", dir.c_str(), 1);
    const std::string nedix = prefix + "NEDIX\\";
    fs::create_directories(HostPath(nedix), ec);
    if (ec) return CommandError("init", "cannot create " + HostPath(nedix) + ": " + ec.message());

    std::string error;
    const fs::perms executable = fs::perms::owner_all | fs::perms::group_read |
                                 fs::perms::group_exec | fs::perms::others_read |
                                 fs::perms::others_exec;
    for (const auto& program : programs)
        if (!Install(tools / program.binary, HostPath(nedix + program.name), executable, &error))
            return CommandError("init", error);
    if (!WriteText(HostPath(nedix + "NXSIM.INI"), scenarioText, &error))
        return CommandError("init", error);
    std::printf("laid out %s%s in %s\n", nedix.c_str(),
                "{NX.EXE,NxSetup.exe,NxShortcut.EXE,NXSIM.INI}", fs::canonical(dir).c_str());
    return 0;
}

}  // namespace nxdevice
