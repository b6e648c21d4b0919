#pragma once
// The result-file layout built independently of the writer, for byte-for-byte comparisons.

#include <array>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace nxtest {

// A fresh record holding the line: the line in UTF-16LE, its 16-bit terminator, zeros up to
// byte 51, the filler 0x20 up to byte 95 where the line does not reach, zeros in 96 to 99.
inline std::array<std::uint8_t, 100> FreshRecordBytes(std::u16string_view line) {
    std::array<std::uint8_t, 100> bytes{};
    for (std::size_t i = 52; i < 96; ++i) bytes[i] = 0x20;
    std::size_t at = 0;
    for (char16_t c : line) {
        bytes.at(at++) = static_cast<std::uint8_t>(c & 0xFF);
        bytes.at(at++) = static_cast<std::uint8_t>(c >> 8);
    }
    bytes.at(at++) = 0;
    bytes.at(at++) = 0;
    return bytes;
}

// A hex dump, 16 bytes a line, so that a failed comparison shows where the bytes differ.
template <typename ByteRange>
std::string Bytes(const ByteRange& bytes) {
    std::string out;
    std::size_t i = 0;
    for (auto byte : bytes) {
        char hex[4];
        std::snprintf(hex, sizeof hex, "%02x",
                      static_cast<unsigned>(static_cast<std::uint8_t>(byte)));
        out += hex;
        out += (++i % 16 == 0) ? '\n' : ' ';
    }
    return out;
}

}  // namespace nxtest
