#include "tools/nxsim/command_log.h"

#include "platform/unicode.h"

namespace nxsim {

bool CommandLog::Open(std::string_view devicePath) {
    if (devicePath.empty()) return true;
    return file_.Open(win::Utf8ToUtf16(devicePath));
}

void CommandLog::Append(std::string_view name, win::WPARAM wParam, win::LPARAM lParam) {
    if (!file_.IsOpen()) return;
    std::string line =
        std::string(name) + " " + std::to_string(wParam) + " " + std::to_string(lParam) + "\n";
    // A short write to a local file means a full disk; the log is best effort.
    file_.Append(line);
}

}  // namespace nxsim
