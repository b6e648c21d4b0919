#include "tools/nxsim/scenario_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "platform/unicode.h"

namespace nxsim {
namespace fs = std::filesystem;

namespace {

// The whole file, or nothing with errno set.
std::optional<std::string> ReadWholeFile(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return std::nullopt;
    std::string bytes;
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) bytes.append(buffer, n);
    const bool failed = std::ferror(file);
    const int error = errno;
    std::fclose(file);
    if (failed) {
        errno = error;
        return std::nullopt;
    }
    return bytes;
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
