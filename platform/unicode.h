#pragma once
// Conversions between the host's UTF-8 and the device's UTF-16, and the device's
// wide-character upper-casing.

#include <string>
#include <string_view>

namespace win {

// Decodes UTF-8; each malformed byte becomes U+FFFD. Characters outside the Basic
// Multilingual Plane become surrogate pairs.
std::u16string Utf8ToUtf16(std::string_view utf8);

// Encodes UTF-16; an unpaired surrogate becomes U+FFFD.
std::string Utf16ToUtf8(std::u16string_view utf16);

// Upper-cases each code unit in place with the platform's simple case mapping (towupper in a
// UTF-8 locale) where the capital lower-cases back to the same character; surrogates,
// characters without an upper-case form and those whose capital is another letter's (U+00B5,
// U+0131, U+017F, U+03C2, U+01C5, ...) stay as they are.
void CharUpperW(std::u16string& text);

// Compares without regard to letter case (as CharUpperW maps it).
bool EqualsIgnoreCase(std::u16string_view a, std::u16string_view b);

}  // namespace win
