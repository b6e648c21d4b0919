// The device's simple upper-casing on Linux: the C library's in a UTF-8 locale.
#include <locale.h>
#include <wctype.h>

#include "platform/unicode.h"

namespace win {
namespace {

// The UTF-8 locale used for upper-casing, made once without touching the process's locale.
// Null when the C library has none; then only ASCII letters are mapped.
locale_t Utf8Locale() {
    static locale_t locale = [] {
        locale_t l = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
        if (!l) l = newlocale(LC_CTYPE_MASK, "en_US.UTF-8", static_cast<locale_t>(0));
        return l;
    }();
    return locale;
}

char16_t UpperUnit(char16_t c) {
    if (c < 0x80) return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 0x20) : c;
    if (c >= 0xD800 && c <= 0xDFFF) return c;
    locale_t locale = Utf8Locale();
    if (!locale) return c;
    wint_t upper = towupper_l(static_cast<wint_t>(c), locale);
    // A mapping that leaves the Basic Multilingual Plane cannot be one code unit; and, as on
    // Windows, a letter whose capital lower-cases to another letter (U+00B5 micro sign, U+0131
    // dotless i, U+017F long s, U+03C2 final sigma, titlecase U+01C5, ...) stays as it is.
    if (upper >= 0x10000 || towlower_l(upper, locale) != static_cast<wint_t>(c)) return c;
    return static_cast<char16_t>(upper);
}

}  // namespace

void CharUpperW(std::u16string& text) {
    for (char16_t& c : text) c = UpperUnit(c);
}

}  // namespace win
