// A minimal measurement program for the link's tests.
//   nx_meas_peer          sits still (as "NX.EXE" it is found or launched), for at most a minute
//   nx_meas_peer abandon  takes "NXMUTEX" and ends while holding it
#include <string_view>

#include "platform/mutex.h"
#include "platform/process.h"

int main(int argc, char** argv) {
    if (argc > 1 && std::string_view(argv[1]) == "abandon") {
        win::HANDLE mutex = win::CreateMutexW(nullptr, win::FALSE, u"NXMUTEX");
        if (!mutex) return 2;
        if (win::WaitForSingleObject(mutex, win::INFINITE) != win::WAIT_OBJECT_0) return 3;
        return 0;  // still the owner
    }
    // A test that forgets its peer does not leave it behind for long.
    for (int i = 0; i < 600; ++i) win::Sleep(100);
    return 0;
}
