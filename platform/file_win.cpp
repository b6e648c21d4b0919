// Device files on Windows: written to a temporary file beside the target and moved over it
// whole when closed; never shared while open.
#include <map>
#include <mutex>
#include <string>

#include "platform/device.h"
#include "platform/fault.h"
#include "platform/file.h"
#include "platform/internal/platform_internal.h"
#include "platform/internal/win_internal.h"
#include "platform/unicode.h"

namespace win {
namespace {

// What an open device file needs when it is closed.
struct OpenFile {
    std::u16string target, temp;
    ::HANDLE openMark = nullptr;  // the named event that marks the target as open
    bool failed = false;          // a write fell short: the file is not to be committed
};

struct OpenFiles {
    std::mutex mutex;
    std::map<::HANDLE, OpenFile> files;
};

OpenFiles& Files() {
    static OpenFiles* files = new OpenFiles;  // never destroyed: files may close at exit
    return *files;
}

HANDLE Fail(DWORD error) {
    return detail::Fail(error, INVALID_HANDLE_VALUE);
}

// Appended piece by piece: GCC 12 warns falsely (-Wrestrict, at -O3) on a literal added to a
// string temporary.
std::u16string TempPrefix(std::u16string_view name) {
    std::u16string prefix = u".";
    prefix.append(name).append(u".nxtmp.");
    return prefix;
}

// 16 hexadecimal digits from the system's random source: a temporary's name that nobody can
// have planted in advance.
bool RandomSuffix(std::u16string& suffix) {
    unsigned char bytes[8];
    if (!BCRYPT_SUCCESS(
            BCryptGenRandom(nullptr, bytes, sizeof bytes, BCRYPT_USE_SYSTEM_PREFERRED_RNG)))
        return false;
    constexpr char16_t kDigits[] = u"0123456789abcdef";
    for (unsigned char b : bytes) {
        suffix += kDigits[b >> 4];
        suffix += kDigits[b & 0xF];
    }
    return true;
}

// Removes the temporaries of the target that writers which died before closing left in its
// folder. Only called while this process marks the target as open, so none belongs to a live
// writer. DeleteFileW removes a link itself, never what it points to.
void SweepTemporaries(const std::u16string& folder, std::u16string_view name) {
    const std::u16string pattern = folder + TempPrefix(name) + u"*";
    WIN32_FIND_DATAW found;
    ::HANDLE search = ::FindFirstFileW(detail::Wide(pattern), &found);
    if (detail::FromNativeHandle(search) == INVALID_HANDLE_VALUE) return;
    do {
        const std::u16string path =
            folder + detail::FromWide(found.cFileName, std::wcslen(found.cFileName));
        ::DeleteFileW(detail::Wide(path));
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
}

// No sharing: a named event exists while one handle to the target is open, in any process.
// Creating it when it exists already means the target is open; the event goes with its last
// handle, also when the writer dies.
::HANDLE MarkOpen(std::u16string fullPath) {
    CharUpperW(fullPath);
    for (char16_t& c : fullPath)
        if (c == u'\\') c = u'/';  // a backslash would name a namespace
    const std::u16string name = u"nxfile:" + fullPath;
    ::HANDLE mark = ::CreateEventW(nullptr, TRUE, FALSE, detail::Wide(name));
    if (mark && ::GetLastError() == ERROR_ALREADY_EXISTS) {
        ::CloseHandle(mark);
        return detail::Fail(ERROR_SHARING_VIOLATION, nullptr);
    }
    return mark;
}

// Writes the temporary out and moves it over the target, or removes it when a write fell
// short or a step fails. Releases the open mark either way.
BOOL Commit(::HANDLE handle, OpenFile& file) {
    DWORD error = file.failed ? ERROR_DISK_FULL : ERROR_SUCCESS;
    if (!file.failed && fault::ShouldFail(fault::Op::CommitFile)) error = ERROR_GEN_FAILURE;
    if (!file.failed && !::FlushFileBuffers(handle)) error = ::GetLastError();
    ::CloseHandle(handle);
    if (error == ERROR_SUCCESS &&
        !::MoveFileExW(detail::Wide(file.temp), detail::Wide(file.target),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        error = ::GetLastError();
    if (error != ERROR_SUCCESS) ::DeleteFileW(detail::Wide(file.temp));
    ::CloseHandle(file.openMark);
    ::SetLastError(error);
    return error == ERROR_SUCCESS ? TRUE : FALSE;
}

}  // namespace

HANDLE CreateFileW(std::u16string_view devicePath, DWORD desiredAccess, DWORD shareMode,
                   void* securityAttributes, DWORD creationDisposition,
                   DWORD /*flagsAndAttributes*/, HANDLE templateFile) {
    if (DWORD error = detail::RefusedOpen(desiredAccess, shareMode, securityAttributes,
                                          creationDisposition, templateFile))
        return Fail(error);

    const std::u16string target = Utf8ToUtf16(ResolveDevicePath(devicePath));
    const std::size_t slash = target.rfind(u'\\');
    if (target.empty() || slash == std::u16string::npos) return Fail(ERROR_PATH_NOT_FOUND);
    const std::u16string folder = target.substr(0, slash + 1);
    const std::u16string name = target.substr(slash + 1);
    if (name.empty()) return Fail(ERROR_ACCESS_DENIED);  // a folder itself
    // What the real open refuses, the rename would not: a folder in the way, and a file whose
    // read-only attribute keeps it from being replaced.
    const DWORD attributes = ::GetFileAttributesW(detail::Wide(target));
    if (attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)))
        return Fail(ERROR_ACCESS_DENIED);

    ::HANDLE openMark = MarkOpen(target);
    if (!openMark) return Fail(::GetLastError());
    SweepTemporaries(folder, name);
    std::u16string temp = folder + TempPrefix(name);
    if (!RandomSuffix(temp)) {
        ::CloseHandle(openMark);
        return Fail(ERROR_GEN_FAILURE);
    }
    // CREATE_NEW never opens what exists under the name, a link included.
    ::HANDLE handle = ::CreateFileW(detail::Wide(temp), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (detail::FromNativeHandle(handle) == INVALID_HANDLE_VALUE) {
        DWORD error = ::GetLastError();
        ::CloseHandle(openMark);
        return Fail(error);
    }
    OpenFiles& files = Files();
    std::lock_guard lock(files.mutex);
    files.files[handle] = OpenFile{target, temp, openMark};
    return detail::FromNativeHandle(handle);
}

BOOL WriteFile(HANDLE file, const void* buffer, DWORD bytesToWrite, DWORD* bytesWritten,
               void* overlapped) {
    if (bytesWritten) *bytesWritten = 0;
    if (overlapped || (!buffer && bytesToWrite > 0))
        return detail::Fail(ERROR_INVALID_PARAMETER, FALSE);
    ::HANDLE handle = detail::ToNativeHandle(file);
    ::DWORD written = 0;
    // An injected fault writes half the bytes, then finds the disk full.
    const bool injected = fault::ShouldFail(fault::Op::WriteFile);
    BOOL ok =
        ::WriteFile(handle, buffer, injected ? bytesToWrite / 2 : bytesToWrite, &written, nullptr);
    if (bytesWritten) *bytesWritten = written;
    if (ok && !injected && written == bytesToWrite) return TRUE;
    DWORD error = ok ? ERROR_DISK_FULL : ::GetLastError();
    OpenFiles& files = Files();
    {
        std::lock_guard lock(files.mutex);
        if (auto it = files.files.find(handle); it != files.files.end()) it->second.failed = true;
    }
    return detail::Fail(error, FALSE);
}

BOOL CommitFile(HANDLE file) {
    ::HANDLE handle = detail::ToNativeHandle(file);
    OpenFiles& files = Files();
    std::unique_lock lock(files.mutex);
    auto open = files.files.extract(handle);
    lock.unlock();
    return open ? Commit(handle, open.mapped()) : detail::Fail(ERROR_INVALID_HANDLE, FALSE);
}

namespace detail {

bool CloseDeviceFile(HANDLE handle) {
    {
        OpenFiles& files = Files();
        std::lock_guard lock(files.mutex);
        if (!files.files.count(ToNativeHandle(handle))) return false;
    }
    CommitFile(handle);
    return true;
}

}  // namespace detail
}  // namespace win
