#pragma once
// The wine suite's Windows: a Wine session (a private prefix with its own Xvfb and one warm
// wineserver, tests/wine/wine_session.sh) shared by the test programs of a test run; devices
// as drive letters of that prefix; and the Windows programs run with their current folder at a
// device's root, each under a time limit.

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/child.h"
#include "tests/support/temp_device.h"

namespace nxtest {

using namespace std::chrono_literals;

// Host path of a program of the Windows build (nxbridge.exe, nxsim.exe, nxwinprobe.exe, ...).
std::string WindowsProgram(const std::string& name);

class WinePrefix {
  public:
    // The session that NX_WINE_SESSION names (the file its fixture wrote, see
    // tests/wine/CMakeLists.txt), or else one of this program's own, made on first use and
    // ended by End. Puts the session's screen into DISPLAY. Throws std::runtime_error when
    // there is no session and none can be made.
    static WinePrefix& Shared();
    // Ends the session this program made, if it made one. Called once, when the program ends.
    static void End();

    // What a Windows program needs in its environment: WINEPREFIX, WINEDEBUG, WINEDLLOVERRIDES
    // and the display.
    const std::vector<std::string>& Environment() const { return env_; }
    const std::string& path() const { return path_; }

    // argv for "wine program args" under a time limit (timeout(1), SIGKILL shortly after),
    // started with its current folder at hostFolder.
    std::vector<std::string> WineCommand(const std::string& hostFolder, const std::string& program,
                                         const std::vector<std::string>& args,
                                         std::chrono::seconds limit) const;

  private:
    WinePrefix();
    ~WinePrefix();

    std::string ownFolder_;  // the folder of the session's file, when the session is our own
    std::string sessionFile_, path_;
    std::vector<std::string> env_;
};

// A Windows device: a temporary device laid out with the Windows stand-ins (NX.EXE,
// NxSetup.exe, NxShortcut.EXE and NXSIM.INI with the scenario, in \FLASHDISK\NEDIX) and
// mapped to the first drive letter free in the prefix. When it goes, every NX.EXE of the prefix
// is ended and the letter is unmapped.
class WineDevice {
  public:
    explicit WineDevice(const std::string& scenario, bool withStandIn = true);
    ~WineDevice();
    WineDevice(const WineDevice&) = delete;
    WineDevice& operator=(const WineDevice&) = delete;

    const TempDevice& device() const { return device_; }
    std::string Path(const std::string& relative) const { return device_.Path(relative); }

    // Starts a Windows program with its current folder at the device's root (or at folder,
    // a folder inside the device) and extraEnv in its environment.
    Child Start(const std::string& program, const std::vector<std::string>& args,
                std::chrono::seconds limit = 60s, const std::string& folder = "",
                const std::vector<std::string>& extraEnv = {}) const;
    // Runs a Windows program to its end the same way; its standard output and exit code.
    ProcessResult Run(const std::string& program, const std::vector<std::string>& args,
                      std::chrono::seconds limit = 30s) const;

    // A Windows program that holds the device file devicePath ("\\VLMIS.OUT") open without
    // sharing, started once it holds it, until End is called. Throws std::runtime_error when
    // it cannot open the file.
    class Holder;
    Holder HoldOpen(const std::string& devicePath) const;

  private:
    TempDevice device_;
    std::string drive_;  // e.g. "n:"
};

class WineDevice::Holder {
  public:
    Holder(const WineDevice& device, Child program);
    ~Holder() { End(); }
    Holder(Holder&& other) noexcept;
    Holder& operator=(Holder&&) = delete;
    // Lets go of the file and waits for the program's end.
    void End();

  private:
    const WineDevice* device_;
    std::optional<Child> program_;
};

// What keeps a run from replacing the result file that stands in a device's root.
enum class Refusal {
    None,
    ReadOnly,  // the file is read-only: no write permission on the host, which under Wine is
               // the read-only attribute
    Folder,    // a folder stands in the file's place
    HeldOpen,  // another program holds the file open without sharing
};

// Lays out the result file rootFile ("VLMIS.OUT") in the device's root before a run: a whole
// file of fieldCount fields "previous" (its bytes are returned), made read-only, or a folder
// in its place (then ""). Holding it open is the platform's own: the caller starts the holder.
std::string LayOutPreviousFile(const TempDevice& device, const std::string& rootFile,
                               std::size_t fieldCount, Refusal refusal);

// The names in the device's root of temporary files that a writer left.
std::vector<std::string> LeftTemporaries(const TempDevice& device);

// The stand-in's log of a run whose dialog was made: the five requests of its initialisation,
// then more.
std::vector<std::string> Requests(std::vector<std::string> more = {});

}  // namespace nxtest
