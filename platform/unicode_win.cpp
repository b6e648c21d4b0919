// The device's simple upper-casing on Windows: the window system's own, code unit by code unit.
#include "platform/internal/win_internal.h"
#include "platform/unicode.h"

namespace win {

void CharUpperW(std::u16string& text) {
    if (text.empty()) return;
    ::CharUpperBuffW(reinterpret_cast<wchar_t*>(text.data()), static_cast<DWORD>(text.size()));
}

}  // namespace win
