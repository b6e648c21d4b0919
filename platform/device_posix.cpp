// The device root, device paths and the runtime folder.
#include "platform/device_posix.h"

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/device.h"
#include "platform/internal/runtime_folder.h"
#include "platform/internal/system_posix.h"
#include "platform/unicode.h"

namespace win {
namespace {

std::string JoinPath(const std::string& folder, std::string_view name) {
    std::string out = folder;
    if (out.empty() || out.back() != '/') out.push_back('/');
    out.append(name);
    return out;
}

bool IsPrefixFolder(const std::string& folder, const std::string& path) {
    if (folder == "/") return true;
    return path == folder ||
           (path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
            path[folder.size()] == '/');
}

// An absolute path with "." and ".." taken away and its slashes single, by the text alone
// ("/a/./b/../c/" is "/a/c"; ".." at the top stays at the top).
std::string NormalizeAbsolutePath(std::string_view path) {
    std::vector<std::string_view> parts;
    for (std::size_t at = 0; at <= path.size();) {
        std::size_t end = path.find('/', at);
        if (end == std::string_view::npos) end = path.size();
        std::string_view part = path.substr(at, end - at);
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        at = end + 1;
    }
    std::string out;
    for (std::string_view part : parts) out.append("/").append(part);
    return out.empty() ? "/" : out;
}

// Why a level of the runtime folder may not be used, or "" when it may: it must be a real
// folder (not a symbolic link), owned by this user and closed to everyone else. A level that
// fails is never followed, repaired or used: another user (or a program of this one) may have
// made it to see or steer the device's kernel objects.
std::string PrivateFolderFault(const struct stat& st) {
    if (S_ISLNK(st.st_mode)) return "it is a symbolic link";
    if (!S_ISDIR(st.st_mode)) return "it is not a folder";
    if (st.st_uid != geteuid())
        return "it belongs to user " + std::to_string(st.st_uid) + ", not to user " +
               std::to_string(geteuid());
    if ((st.st_mode & 077) != 0) {
        std::array<char, 64> text{};
        std::snprintf(text.data(), text.size(), "it is open to other users (mode %04o)",
                      static_cast<unsigned>(st.st_mode & 07777));
        return text.data();
    }
    return {};
}

// Makes one level of the runtime folder (mode 0700), or finds it made. Fails (EACCES when it
// fails the check, with the reason in why) when it cannot be used.
sys::Status MakePrivateFolder(const std::string& path, std::string& why) {
    sys::Status made = sys::MakeFolder(path, 0700);
    auto st = made || made.error() == EEXIST ? sys::Stat(path, false) : made.failure();
    if (!st) {
        why = std::strerror(st.error());
        return st.failure();
    }
    why = PrivateFolderFault(*st);
    if (!why.empty()) return sys::Errno{EACCES};
    return {};
}

// True for a folder that can hold this user's runtime folders: a real folder, not inside the
// device root (unless the root is the host's "/"), that no other user can take names in: this
// user's own and closed to others ($XDG_RUNTIME_DIR), or a shared one of root's or this
// user's whose sticky bit keeps others from replacing what this user made in it (/dev/shm).
bool IsRuntimeBase(const std::string& base, const std::string& root, bool own) {
    auto st = sys::Stat(base);
    if (!st || !S_ISDIR(st->st_mode)) return false;
    if (root != "/" && IsPrefixFolder(root, base)) return false;
    if (own) return PrivateFolderFault(*st).empty();
    return (st->st_uid == 0 || st->st_uid == geteuid()) &&
           ((st->st_mode & 022) == 0 || (st->st_mode & S_ISVTX) != 0);
}

// The folder that holds this user's runtime folders: "nxdevice" in $XDG_RUNTIME_DIR when that is
// set, absolute and passes the check (only this user can make names there), else
// "nxdevice-UID" in /dev/shm (in memory) or /tmp, where another user could take the name first:
// such a folder is checked before use and refused by name.
std::string UserRuntimeFolder(const std::string& root) {
    const char* xdg = std::getenv("XDG_RUNTIME_DIR");
    if (xdg && xdg[0] == '/' && IsRuntimeBase(xdg, root, true))
        return JoinPath(NormalizeAbsolutePath(xdg), "nxdevice");
    for (const char* base : {"/dev/shm", "/tmp"}) {
        if (IsRuntimeBase(base, root, false))
            return std::string(base) + "/nxdevice-" + std::to_string(geteuid());
    }
    return {};
}

std::string RuntimePathFor(const std::string& canonicalRoot) {
    std::string folder = UserRuntimeFolder(canonicalRoot);
    if (folder.empty()) return {};
    return folder + "/" + detail::Hex64(detail::StableHash(canonicalRoot));
}

// Says on standard error, once, why the program has no runtime folder: the device's services
// then fail with one of their own messages, which cannot name the folder.
void ReportNoRuntimeFolder(const std::string& why) {
    std::fprintf(stderr, "%s: %s\n", program_invocation_short_name, why.c_str());
}

// The entry of folder whose name equals name without regard to letter case: an exact match
// first, else the first in directory order; name itself when there is none.
std::string MatchEntry(const std::string& folder, const std::string& name, bool& exists) {
    exists = static_cast<bool>(sys::Stat(JoinPath(folder, name), false));
    if (exists) return name;
    const std::u16string wanted = Utf8ToUtf16(name);
    for (std::string& candidate : sys::FolderEntries(folder)) {
        if (EqualsIgnoreCase(Utf8ToUtf16(candidate), wanted)) {
            exists = true;
            return candidate;
        }
    }
    return name;
}

}  // namespace

namespace detail {

std::string CanonicalDeviceRoot(std::string_view value, std::string_view baseDirectory) {
    std::string path = value.empty() ? std::string("/") : std::string(value);
    if (path.front() != '/') {
        std::string base(baseDirectory);
        if (base.empty()) {
            if (char* cwd = getcwd(nullptr, 0)) {
                base = cwd;
                free(cwd);
            }
        }
        path = JoinPath(base, path);
    }
    if (char* real = realpath(path.c_str(), nullptr)) {
        std::string out(real);
        free(real);
        return out;
    }
    return NormalizeAbsolutePath(path);
}

sys::Result<std::string> RuntimeSubdirectory(std::string_view name) {
    const std::string& runtime = RuntimeDirectory();
    if (runtime.empty()) return sys::Errno{EACCES};
    std::string path = JoinPath(runtime, name);
    std::string why;
    if (sys::Status status = MakePrivateFolder(path, why); !status) return status.failure();
    return path;
}

std::string ObjectFileName(std::u16string_view name) {
    const std::string utf8 = Utf16ToUtf8(name);
    std::string out;
    for (unsigned char c : utf8) {
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
            c == '-' || c == '_') {
            out.push_back(static_cast<char>(c));
        } else {
            std::array<char, 4> escaped{};
            std::snprintf(escaped.data(), escaped.size(), "%%%02X", c);
            out.append(escaped.data());
        }
    }
    constexpr std::size_t kLongest = 200;
    if (out.size() > kLongest) out = out.substr(0, kLongest - 17) + "~" + Hex64(StableHash(utf8));
    return out;
}

std::uint64_t StableHash(std::string_view bytes) {
    std::uint64_t hash = 0xcbf29ce484222325ULL;
    for (unsigned char c : bytes) {
        hash ^= c;
        hash *= 0x100000001b3ULL;
    }
    return hash;
}

std::string Hex64(std::uint64_t value) {
    std::array<char, 17> text{};
    std::snprintf(text.data(), text.size(), "%016llx", static_cast<unsigned long long>(value));
    return text.data();
}

}  // namespace detail

const std::string& DeviceRootHostPath() {
    static const std::string root = [] {
        const char* value = std::getenv("DEVICE_ROOT");
        return detail::CanonicalDeviceRoot(value ? value : "");
    }();
    return root;
}

std::string ResolveDevicePath(std::u16string_view devicePath) {
    // A path ends at its first NUL, as it would on the device.
    devicePath = devicePath.substr(0, devicePath.find(u'\0'));
    const std::string& root = DeviceRootHostPath();
    std::vector<std::string> components;
    bool parentExists = true;  // once a component is missing, nothing below it exists
    std::size_t start = 0;
    while (start <= devicePath.size()) {
        std::size_t end = devicePath.find_first_of(u"\\/", start);
        if (end == std::u16string_view::npos) end = devicePath.size();
        std::string component = Utf16ToUtf8(devicePath.substr(start, end - start));
        start = end + 1;
        if (component.empty() || component == ".") continue;
        if (component == "..") {
            if (!components.empty()) components.pop_back();
            parentExists = true;
            continue;
        }
        if (parentExists) {
            std::string folder = root;
            for (const auto& c : components) folder = JoinPath(folder, c);
            component = MatchEntry(folder, component, parentExists);
        }
        components.push_back(std::move(component));
    }
    std::string out = root;
    for (const auto& c : components) out = JoinPath(out, c);
    return out;
}

const std::string& RuntimeDirectory() {
    static const std::string path = [] {
        const std::string runtime = RuntimePathFor(DeviceRootHostPath());
        if (runtime.empty()) {
            ReportNoRuntimeFolder(
                "no runtime folder: neither $XDG_RUNTIME_DIR, /dev/shm nor /tmp can hold one");
            return std::string();
        }
        std::string why;
        for (const std::string& level : {runtime.substr(0, runtime.rfind('/')), runtime}) {
            if (!MakePrivateFolder(level, why)) {
                ReportNoRuntimeFolder("refusing the runtime folder " + level + ": " + why);
                return std::string();
            }
        }
        return runtime;
    }();
    return path;
}

std::string RuntimeDirectoryForRoot(const std::string& hostRoot) {
    return RuntimePathFor(detail::CanonicalDeviceRoot(hostRoot));
}

}  // namespace win
