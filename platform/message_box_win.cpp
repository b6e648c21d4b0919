// Message boxes on Windows: the window system's own.
#include "platform/message_box.h"
#include "platform/windows_api.h"

namespace win::detail {

int ShowMessageBox(HWND owner, std::u16string_view text, std::u16string_view caption, UINT type) {
    const std::u16string ownText(text), ownCaption(caption);
    return ::MessageBoxW(ToNativeWindow(owner), Wide(ownText), Wide(ownCaption), type);
}

}  // namespace win::detail
