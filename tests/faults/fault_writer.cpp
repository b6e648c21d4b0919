// A helper of the fault campaign, run on a device:
//
//   fault_writer loop   writes "\VLMIS.OUT" over and over, alternating two whole records, as
//                       fast as the device allows, until it is killed;
//   fault_writer hold   opens "\VLMIS.OUT" for writing (no sharing) and keeps it open, writing
//                       nothing, until it is killed; prints "held" once the file is held.
//
// Exit code 1 when the first open fails.
#include <unistd.h>

#include <cstdio>
#include <string_view>

#include "output/result_file.h"
#include "platform/file.h"

int main(int argc, char** argv) {
    std::string_view mode = argc > 1 ? argv[1] : "";
    if (mode == "loop") {
        ResultRecord record;
        for (unsigned long n = 0;; ++n) {
            bool written = n % 2 ? WriteResultRecord(kResultFilePath, record,
                                                     {u" 1.0000", u" 2.0000", u"3.000"})
                                 : WriteResultRecord(kResultFilePath, record,
                                                     {u" 100.1234", u" 300.9876", u"1234.567"});
            if (!written && n == 0) return 1;
        }
    }
    if (mode == "hold") {
        win::HANDLE file =
            win::CreateFileW(kResultFilePath, win::GENERIC_WRITE, 0, nullptr, win::CREATE_ALWAYS,
                             win::FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == win::INVALID_HANDLE_VALUE) return 1;
        std::printf("held\n");
        std::fflush(stdout);
        for (;;) pause();
    }
    std::fprintf(stderr, "usage: fault_writer loop|hold\n");
    return 2;
}
