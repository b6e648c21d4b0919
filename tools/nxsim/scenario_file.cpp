#include "tools/nxsim/scenario_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "platform/unicode.h"

namespace nxsim {
namespace fs = std::filesystem;

namespace {

// The whole file, or nothing with errno set.
std::optional<std::string> ReadWholeFile(const std::string& path) {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    std::string bytes;
    char buffer[4096];
    for (;;) {
        ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            int error = errno;
            close(fd);
            if (n < 0) {
                errno = error;
                return std::nullopt;
            }
            return bytes;
        }
        bytes.append(buffer, static_cast<std::size_t>(n));
    }
}

}  // namespace

std::optional<std::string> FindScenarioFile(const std::string& folder) {
    std::error_code ec;
    const std::u16string wanted = win::Utf8ToUtf16(kScenarioFileName);
    for (const auto& entry : fs::directory_iterator(folder, ec)) {
        if (win::EqualsIgnoreCase(win::Utf8ToUtf16(entry.path().filename().string()), wanted))
            return entry.path().string();
    }
    return std::nullopt;
}

std::optional<std::string> LoadScenario(const std::string& folder, Scenario* out) {
    std::optional<std::string> path = FindScenarioFile(folder);
    if (!path) return std::nullopt;
    std::string name = fs::path(*path).filename().string();
    std::optional<std::string> text = ReadWholeFile(*path);
    if (!text) return name + ": cannot be read: " + std::strerror(errno);
    if (auto error = ParseScenario(*text, out)) return error->Describe(name);
    return std::nullopt;
}

}  // namespace nxsim
