// A second process for the platform tests, on both platforms: performs one action per verb of
// its command line on its device and prints what it saw, one line per fact, flushed at once.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "platform/device.h"
#include "platform/file.h"
#include "platform/message.h"
#include "platform/mutex.h"
#include "platform/process.h"
#include "platform/program.h"
#include "platform/section.h"
#include "platform/toolhelp.h"
#include "platform/unicode.h"
#ifndef _WIN32
#include "platform/window_table_posix.h"
#endif

using namespace win;

namespace {

void Say(const std::string& line) {
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

std::u16string Wide(const char* text) {
    return Utf8ToUtf16(text);
}

const char* WaitName(DWORD result) {
    switch (result) {
        case WAIT_OBJECT_0:
            return "acquired";
        case WAIT_ABANDONED:
            return "abandoned";
        case WAIT_TIMEOUT:
            return "timeout";
        default:
            return "failed";
    }
}

[[noreturn]] void SleepForever() {
    for (;;) Sleep(1000);
}

// The section's first bytes as a counter, raised under the mutex without atomics, so that a
// lost update shows a broken mutual exclusion.
int CountUnderMutex(const char* name, int rounds, long long startAtMs) {
    std::this_thread::sleep_until(
        std::chrono::system_clock::time_point(std::chrono::milliseconds(startAtMs)));
    HANDLE mutex = CreateMutexW(nullptr, FALSE, Wide(name));
    HANDLE section =
        CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 120, u"COUNTER");
    auto* counter =
        static_cast<volatile long*>(MapViewOfFile(section, FILE_MAP_ALL_ACCESS, 0, 0, 0));
    if (!mutex || !section || !counter) return 1;
    for (int i = 0; i < rounds; ++i) {
        if (WaitForSingleObject(mutex, INFINITE) != WAIT_OBJECT_0) return 2;
        long value = *counter;
        if (i % 16 == 0) std::this_thread::yield();
        *counter = value + 1;
        ReleaseMutex(mutex);
    }
    Say("counted");
    return 0;
}

int Run(std::vector<std::string> a) {
    const std::string verb = a.empty() ? "" : a[0];
    auto arg = [&](std::size_t i) { return i < a.size() ? a[i].c_str() : ""; };
    auto num = [&](std::size_t i) { return std::strtoll(arg(i), nullptr, 0); };

    if (verb == "lock-and-die") {  // NAME: takes the mutex and ends without releasing it
        HANDLE m = CreateMutexW(nullptr, FALSE, Wide(arg(1)));
        Say(WaitName(WaitForSingleObject(m, INFINITE)));
        std::_Exit(0);
    }
    if (verb == "lock-and-hold") {  // NAME: takes the mutex and keeps it until killed
        HANDLE m = CreateMutexW(nullptr, FALSE, Wide(arg(1)));
        Say(WaitName(WaitForSingleObject(m, INFINITE)));
        SleepForever();
    }
    if (verb == "count") return CountUnderMutex(arg(1), static_cast<int>(num(2)), num(3));
    if (verb == "register") {  // NAME...: prints "NAME ID" per name
        for (std::size_t i = 1; i < a.size(); ++i)
            Say(a[i] + " " + std::to_string(RegisterWindowMessageW(Wide(arg(i)))));
        return 0;
    }
    if (verb == "queue") {  // COUNT [hold]: prints its thread id, then COUNT messages it gets
        MSG m;
        PeekMessageW(&m);  // the thread's queue is made on first use
        Say(std::to_string(GetCurrentThreadId()));
        for (long long i = 0; i < num(1); ++i) {
            if (!GetMessageW(&m)) return 2;
            Say(std::to_string(m.hwnd) + " " + std::to_string(m.message) + " " +
                std::to_string(m.wParam) + " " + std::to_string(m.lParam));
        }
        if (std::string(arg(2)) == "hold") SleepForever();
        return 0;
    }
#ifndef _WIN32
    if (verb == "window") {  // TITLE COUNT: a window on a second thread; prints "hwnd tid"
        std::thread owner([&] {
            HWND hwnd = AddTopLevelWindow(Wide(arg(1)));
            Say(std::to_string(hwnd) + " " + std::to_string(GetCurrentThreadId()));
            for (long long i = 0; i < num(2); ++i) {
                MSG m;
                if (!GetMessageW(&m)) return;
                Say(std::to_string(m.hwnd) + " " + std::to_string(m.message));
            }
        });
        owner.join();
        return 0;
    }
#endif
    if (verb == "post") {  // TID MESSAGE COUNT: posts COUNT messages, wParam 0..COUNT-1
        long long ok = 0;
        for (long long i = 0; i < num(3); ++i)
            ok += PostThreadMessageW(static_cast<DWORD>(num(1)), static_cast<UINT>(num(2)),
                                     static_cast<WPARAM>(i), 0);
        Say(std::to_string(ok) + " " + std::to_string(GetLastError()));
        return 0;
    }
    if (verb == "section-write") {  // NAME SIZE TEXT: writes TEXT at offset 0
        HANDLE s = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                      static_cast<DWORD>(num(2)), Wide(arg(1)));
        void* view = s ? MapViewOfFile(s, FILE_MAP_ALL_ACCESS, 0, 0, 0) : nullptr;
        if (!view) return 1;
        std::memcpy(view, arg(3), std::strlen(arg(3)));
        Say("written");
        return 0;
    }
    if (verb == "file") {  // PATH TEXT [hang]: writes a device file; hang: never commits
        HANDLE f = CreateFileW(Wide(arg(1)), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        if (f == INVALID_HANDLE_VALUE) {
            Say("error " + std::to_string(GetLastError()));
            return 0;
        }
        DWORD written = 0;
        WriteFile(f, arg(2), static_cast<DWORD>(std::strlen(arg(2))), &written, nullptr);
        if (std::string(arg(3)) == "hang") {
            Say("writing");
            SleepForever();
        }
        Say(CommitFile(f) ? "committed" : "error " + std::to_string(GetLastError()));
        return 0;
    }
    if (verb == "walk") {  // prints "pid name" for each process of its device
        HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
        PROCESSENTRY32W e{};
        e.dwSize = sizeof e;
        for (BOOL ok = Process32First(snap, &e); ok; ok = Process32Next(snap, &e))
            Say(std::to_string(e.th32ProcessID) + " " + Utf16ToUtf8(e.szExeFile));
        CloseToolhelp32Snapshot(snap);
        return 0;
    }
    if (verb == "threads") {  // N: starts N more threads, prints "ready", sleeps until killed
        for (long long i = 0; i < num(1); ++i) std::thread(SleepForever).detach();
        Say("ready");
        SleepForever();
    }
    std::fprintf(stderr, "unknown verb %s\n", verb.c_str());
    return 64;
}

// Writes how it was started to the device file \ARGS.OUT (its standard output may be its
// starter's): its program file, its command line and its device root, a line each.
int WriteStart(const ProgramStart& start) {
    const std::string text = Utf16ToUtf8(start.path) + "\n" + Utf16ToUtf8(start.commandLine) +
                             "\n" + DeviceRootHostPath() + "\n";
    HANDLE f = CreateFileW(u"\\ARGS.OUT", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    return WriteFile(f, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
                   CommitFile(f)
               ? 0
               : 1;
}

}  // namespace

// The verb and its arguments are the command line's words, however the platform handed them
// over (one text on Windows; on Linux separate arguments, or one from CreateProcessW).
int main(int argc, char** argv) {
    const ProgramStart start = GetProgramStart(argc, argv);
    const std::string line = Utf16ToUtf8(start.commandLine);
    if (line.empty() || line.rfind("args", 0) == 0) return WriteStart(start);
    std::vector<std::string> args;
    for (std::size_t at = 0; at < line.size();) {
        std::size_t end = line.find(' ', at);
        if (end == std::string::npos) end = line.size();
        if (end > at) args.push_back(line.substr(at, end - at));
        at = end + 1;
    }
    return Run(args);
}
