// A helper of the sanitizer build's self-check: does one thing the sanitizers must report.
//
//   sanitizer_probe leak       loses a heap block and exits normally (LeakSanitizer);
//   sanitizer_probe overflow   overflows a signed integer (UndefinedBehaviorSanitizer);
//   sanitizer_probe overread   reads one byte past a heap block (AddressSanitizer).
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace {

// Kept out of the optimiser's sight, so that the faults happen at run time.
volatile int g_sink;

}  // namespace

int main(int argc, char** argv) {
    std::string_view what = argc > 1 ? argv[1] : "";
    if (what == "leak") {
        int* lost = new int[16];
        lost[0] = argc;
        g_sink = lost[0];
        lost = nullptr;
        return 0;
    }
    if (what == "overflow") {
        int big = INT_MAX - 2 + argc;  // INT_MAX with one argument
        g_sink = big + argc;
        return 0;
    }
    if (what == "overread") {
        char* block = static_cast<char*>(std::malloc(8));
        g_sink = block[8 + argc - 2];
        std::free(block);
        return 0;
    }
    std::fprintf(stderr, "usage: sanitizer_probe leak|overflow|overread\n");
    return 2;
}
