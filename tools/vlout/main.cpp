// vlout: prints the fields of result files ("\VLMIS.OUT", "\VLVER.OUT") given by host path.
//
//   vlout [--json] FILE...
//
// Each field goes out as UTF-8 on a line of its own (a "==> FILE <==" line comes first when
// several files are given); with --json each file is one JSON object on one line. A file that
// cannot be read or is malformed is named on standard error with what is wrong, and the exit
// code is then 1; a wrong command line gives exit code 2.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "tools/vlout/result_file_decoder.h"

namespace {

constexpr char kUsage[] = "usage: vlout [--json] FILE...\n";

// Reads at most one byte more than a result file holds: enough to tell a wrong size.
bool ReadHead(const std::string& path, std::vector<std::uint8_t>& bytes, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = std::strerror(errno);
        return false;
    }
    std::vector<char> buffer(vlout::kResultFileSize + 1);
    in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
    if (in.bad()) {
        error = "read error";
        return false;
    }
    bytes.assign(buffer.begin(), buffer.begin() + in.gcount());
    return true;
}

// The whole size, for the message about a file that is too long.
std::string SizeMessage(const std::string& path, const std::string& error) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    auto size = static_cast<long long>(in.tellg());
    if (size <= static_cast<long long>(vlout::kResultFileSize)) return error;
    return "is " + std::to_string(size) + " bytes long; a result file is exactly 100 bytes";
}

}  // namespace

int main(int argc, char** argv) {
    bool json = false;
    std::vector<std::string> files;
    bool options = true;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (options && arg == "--json") {
            json = true;
        } else if (options && arg == "--") {
            options = false;
        } else if (options && (arg == "-h" || arg == "--help")) {
            std::cout << kUsage;
            return 0;
        } else if (options && arg.size() > 1 && arg[0] == '-') {
            std::cerr << "vlout: unknown option " << arg << "\n" << kUsage;
            return 2;
        } else {
            files.push_back(arg);
        }
    }
    if (files.empty()) {
        std::cerr << kUsage;
        return 2;
    }

    int exitCode = 0;
    for (const auto& file : files) {
        std::vector<std::uint8_t> bytes;
        std::string error;
        if (!ReadHead(file, bytes, error)) {
            std::cerr << "vlout: " << file << ": cannot read: " << error << "\n";
            exitCode = 1;
            continue;
        }
        vlout::DecodedResultFile decoded = vlout::DecodeResultFile(bytes);
        if (!decoded.ok()) {
            std::cerr << "vlout: " << file << ": " << SizeMessage(file, decoded.error) << "\n";
            exitCode = 1;
            continue;
        }
        if (json) {
            std::cout << vlout::FieldsAsJson(file, decoded.fields);
        } else {
            if (files.size() > 1) std::cout << "==> " << file << " <==\n";
            std::cout << vlout::FieldsAsText(decoded.fields);
        }
    }
    std::cout.flush();
    return exitCode;
}
