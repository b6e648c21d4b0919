// Append-only device files on Windows: opened for appending only, so that each write lands
// whole at the end.
#include "platform/append_file.h"
#include "platform/device.h"
#include "platform/internal/win_internal.h"
#include "platform/unicode.h"

namespace win {
namespace {

std::string SystemErrorText(DWORD error) {
    return "system error " + std::to_string(error);
}

}  // namespace

AppendFile::~AppendFile() {
    if (IsOpen()) ::CloseHandle(reinterpret_cast<::HANDLE>(handle_));
}

bool AppendFile::Open(std::u16string_view devicePath) {
    const std::string path = ResolveDevicePath(devicePath);
    const std::u16string wide = Utf8ToUtf16(path);
    ::HANDLE file = ::CreateFileW(detail::Wide(wide), FILE_APPEND_DATA,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (detail::FromNativeHandle(file) == INVALID_HANDLE_VALUE) {
        error_ = path + ": " + SystemErrorText(::GetLastError());
        return false;
    }
    handle_ = reinterpret_cast<std::intptr_t>(file);
    return true;
}

bool AppendFile::Append(std::string_view bytes) {
    if (!IsOpen()) return false;
    ::DWORD written = 0;
    if (!::WriteFile(reinterpret_cast<::HANDLE>(handle_), bytes.data(),
                     static_cast<DWORD>(bytes.size()), &written, nullptr)) {
        error_ = SystemErrorText(::GetLastError());
        return false;
    }
    if (written == bytes.size()) return true;
    error_ = "short write";
    return false;
}

}  // namespace win
