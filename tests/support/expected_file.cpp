#include "tests/support/expected_file.h"

#include <algorithm>

namespace nxtest {

std::string ResultFileBytes(const std::u16string& line) {
    std::string bytes(100, '\0');
    std::fill(bytes.begin() + 52, bytes.begin() + 96, '\x20');
    std::size_t at = 0;
    for (char16_t unit : line) {
        bytes[at++] = static_cast<char>(unit & 0xFF);
        bytes[at++] = static_cast<char>(unit >> 8);
    }
    return bytes;  // the terminator and the zeros up to byte 51 are already there
}

}  // namespace nxtest
