#include "framework/cstring.h"

#include <cstdarg>
#include <cwchar>
#include <vector>

#include "platform/unicode.h"

void CString::Format(const char16_t* format, ...) {
    // Each UTF-16 code unit of the format becomes one wchar_t (32 bits on Linux, 16 on
    // Windows), and the C library's wide printf does the conversions exactly as its narrow
    // printf does. A wchar_t beyond the basic plane (only where it is 32 bits) goes back into
    // the string as its surrogate pair.
    std::wstring wideFormat(format, format + std::char_traits<char16_t>::length(format));
    std::vector<wchar_t> out(128);
    for (;;) {
        va_list args;
        va_start(args, format);
        int n = std::vswprintf(out.data(), out.size(), wideFormat.c_str(), args);
        va_end(args);
        if (n >= 0) {
            text_.clear();
            for (int i = 0; i < n; ++i) {
                auto c = static_cast<char32_t>(out[i]);
                if (c >= 0x10000) {
                    c -= 0x10000;
                    text_ += static_cast<char16_t>(0xD800 + (c >> 10));
                    text_ += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
                } else {
                    text_ += static_cast<char16_t>(c);
                }
            }
            return;
        }
        if (out.size() >= (1u << 20)) {  // a conversion error, not a short buffer
            text_.clear();
            return;
        }
        out.resize(out.size() * 4);
    }
}

void CString::MakeUpper() {
    win::CharUpperW(text_);
}
