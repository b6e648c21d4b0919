// The device on Windows is the current drive: "\" is the root of the drive that holds the
// current folder, and device paths are Windows paths on it.
#include "platform/device.h"
#include "platform/internal/win_internal.h"
#include "platform/unicode.h"

namespace win {

const std::string& DeviceRootHostPath() {
    static const std::string root = ResolveDevicePath(u"\\");
    return root;
}

// The file system already matches names without regard to letter case and keeps ".." at the
// root; the full path only makes the drive explicit. The device has no current folder: a path
// without its leading backslash is taken from the root, as on the device, never from the
// program's current folder.
std::string ResolveDevicePath(std::u16string_view devicePath) {
    std::u16string path(devicePath.substr(0, devicePath.find(u'\0')));
    for (char16_t& c : path)
        if (c == u'/') c = u'\\';
    if (path.empty() || path.front() != u'\\') path.insert(path.begin(), u'\\');
    DWORD size = ::GetFullPathNameW(detail::Wide(path), 0, nullptr, nullptr);
    if (size == 0) return Utf16ToUtf8(path);
    std::wstring full(size, L'\0');
    size = ::GetFullPathNameW(detail::Wide(path), size, full.data(), nullptr);
    return Utf16ToUtf8(detail::FromWide(full.data(), size));
}

}  // namespace win
