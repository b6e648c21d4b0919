#pragma once
// The bytes a result file must hold, built here from the file's layout alone (not by the
// writer under test), for tests to compare the files the bridge writes with.

#include <string>

namespace nxtest {

// A result file written once with this line: the UTF-16LE line, its terminator, zeros to
// byte 51, the 0x20 filler to byte 95 and four zeros.
std::string ResultFileBytes(const std::u16string& line);

}  // namespace nxtest
