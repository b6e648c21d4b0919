// vlout: prints the fields of result files ("\VLMIS.OUT", "\VLVER.OUT") given by host path.
//
//   vlout [--json] FILE...
//
// Each field goes out as UTF-8 on a line of its own (a "==> FILE <==" line comes first when
// several files are given); with --json each file is one JSON object on one line. A file that
// cannot be read, is not a regular file or is malformed is named on standard error with what
// is wrong, and the exit code is then 1; a wrong command line gives exit code 2.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "tools/vlout/result_file_decoder.h"

namespace {

constexpr char kUsage[] = "usage: vlout [--json] FILE...\n";

// What kind of file other than a regular one stands at a path.
const char* KindOf(mode_t mode) {
    if (S_ISDIR(mode)) return "a folder";
    if (S_ISFIFO(mode)) return "a FIFO";
    if (S_ISSOCK(mode)) return "a socket";
    if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
    return "not a regular file";
}

// Reads at most one byte more than a result file holds (enough to tell a wrong size), and
// the whole size. Only a regular file is read: anything else (a FIFO would block the reader
// for good, a device might never end) is refused before it is opened for reading, and again
// after the open in case it was swapped in between.
bool ReadHead(const std::string& path, std::vector<std::uint8_t>& bytes, off_t& size,
              std::string& error) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) {
        error = "cannot read: " + std::string(std::strerror(errno));
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        error = std::string("is ") + KindOf(st.st_mode) + ", not a result file";
        return false;
    }
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0 || fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        error = fd < 0 ? "cannot read: " + std::string(std::strerror(errno))
                       : "is not a regular file, not a result file";
        if (fd >= 0) close(fd);
        return false;
    }
    size = st.st_size;
    bytes.assign(vlout::kResultFileSize + 1, 0);
    std::size_t filled = 0;
    while (filled < bytes.size()) {
        const ssize_t n = read(fd, bytes.data() + filled, bytes.size() - filled);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) error = "cannot read: " + std::string(std::strerror(errno));
        if (n <= 0) break;
        filled += static_cast<std::size_t>(n);
    }
    close(fd);
    bytes.resize(filled);
    return error.empty();
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
        off_t size = 0;
        std::string error;
        if (!ReadHead(file, bytes, size, error)) {
            std::cerr << "vlout: " << file << ": " << error << "\n";
            exitCode = 1;
            continue;
        }
        vlout::DecodedResultFile decoded = vlout::DecodeResultFile(bytes);
        if (!decoded.ok()) {
            // A file that is too long is named with its whole size.
            std::cerr << "vlout: " << file << ": "
                      << (size > static_cast<off_t>(vlout::kResultFileSize)
                              ? "is " + std::to_string(size) +
                                    " bytes long; a result file is exactly 100 bytes"
                              : decoded.error)
                      << "\n";
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
