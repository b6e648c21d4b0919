// Prints which renderer this process gets: "window" or "none". With an argument, DISPLAY is
// first set to it ("-" unsets it), so a test can try displays that are not its own.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/renderer_posix.h"

int main(int argc, char** argv) {
    if (argc > 1) {
        const std::string display = argv[1];
        if (display == "-")
            unsetenv("DISPLAY");
        else
            setenv("DISPLAY", display.c_str(), 1);
    }
    std::puts(win::MakeWindowRenderer() ? "window" : "none");
    return 0;
}
