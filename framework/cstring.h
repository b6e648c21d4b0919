#pragma once
// The framework's string: UTF-16 text that owns its storage, with printf formatting on UTF-16
// format strings.

#include <compare>
#include <string>
#include <string_view>

class CString {
  public:
    CString() = default;
    CString(const char16_t* text) : text_(text ? text : u"") {}
    CString(std::u16string_view text) : text_(text) {}
    CString(std::u16string text) : text_(std::move(text)) {}

    // Replaces the text with the printf-style formatting of the arguments. The conversions are
    // the C library's (%d, %02d, %.3f and the like), with its rounding: exact ties go to even.
    // Arguments are passed as to printf (int, double); %s is not supported.
    void Format(const char16_t* format, ...);

    void Empty() { text_.clear(); }
    bool IsEmpty() const { return text_.empty(); }
    int GetLength() const { return static_cast<int>(text_.size()); }
    void MakeUpper();

    const char16_t* c_str() const { return text_.c_str(); }
    const std::u16string& str() const { return text_; }
    operator std::u16string_view() const { return text_; }

    CString& operator+=(std::u16string_view more) {
        text_ += more;
        return *this;
    }
    CString& operator+=(char16_t c) {
        text_ += c;
        return *this;
    }
    friend CString operator+(const CString& a, std::u16string_view b) {
        return CString(a.text_ + std::u16string(b));
    }
    friend bool operator==(const CString& a, const CString& b) = default;
    friend bool operator==(const CString& a, std::u16string_view b) { return a.text_ == b; }
    friend bool operator==(const CString& a, const char16_t* b) { return a.text_ == b; }

  private:
    std::u16string text_;
};
