// nxwinprobe: the wine suite's eyes inside Windows. It finds windows and controls through the
// real window system (by title, text or id, never by place) and prints what the test needs to
// drive them from outside with the X server's mouse and keyboard.
//
//   nxwinprobe where TITLE [TEXT]  the screen centre "X Y" of the top-level window TITLE, or of
//                                  its control showing TEXT
//   nxwinprobe text TITLE ID       the text of the window's control ID (UTF-8)
//   nxwinprobe checked TITLE ID    1 when the window's button ID is checked, else 0
//   nxwinprobe focus TITLE         the text of the control that has the window's focus
//   nxwinprobe count TITLE         how many top-level windows titled TITLE are shown
//   nxwinprobe kill NAME           ends every process whose executable is NAME (any case)
//   nxwinprobe hold NAME FILE      holds an event named NAME (a name no mutex can take then)
//                                  until FILE exists, a minute at most; prints "held" first
//   nxwinprobe holdfile PATH FILE  holds the file PATH open without sharing, as another program
//                                  may, until FILE exists; prints "held" first
//   nxwinprobe walk [another]      the platform's process walk: each listed program's name,
//                                  then "threads N", the threads its thread walk lists; with
//                                  "another", as a process that takes itself for another user
//   nxwinprobe highdialog          makes, retitles, moves and destroys a dialog of the platform's
//                                  on a thread whose stack lies above 4 GiB (everything free
//                                  below is reserved first): "made" when it went well, "low"
//                                  when the stack could not be put there
//   nxwinprobe watch TITLE FILE    prints "watching", looks every 10 ms until FILE exists, then
//                                  prints the most top-level windows titled TITLE shown at once
//
// Exit code 0, or 1 when the window, control or process is not there.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>

#include "platform/dialog.h"
#include "platform/internal/win_internal.h"
#include "platform/unicode.h"
#include "platform/windows_api.h"

namespace {

std::u16string FromWide(const wchar_t* text, std::size_t length) {
    return std::u16string(reinterpret_cast<const char16_t*>(text), length);
}

// Prints a control's text, asked of the control itself (GetWindowTextW would give another
// process's control only its caption, which an edit control never changes); 1 when the
// control did not answer.
int PrintText(::HWND window) {
    wchar_t text[512] = {};
    DWORD_PTR length = 0;
    if (!::SendMessageTimeoutW(window, WM_GETTEXT, std::size(text), reinterpret_cast<LPARAM>(text),
                               SMTO_ABORTIFHUNG, 5000, &length))
        return 1;
    std::printf("%s\n", win::Utf16ToUtf8(FromWide(text, length)).c_str());
    return 0;
}

int Where(::HWND window) {
    ::RECT r;
    if (!window || !::GetWindowRect(window, &r)) return 1;
    std::printf("%ld %ld\n", (r.left + r.right) / 2, (r.top + r.bottom) / 2);
    return 0;
}

int Kill(const std::u16string& name) {
    ::HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    ::PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    int found = 0;
    for (BOOL more = ::Process32FirstW(snapshot, &entry); more;
         more = ::Process32NextW(snapshot, &entry)) {
        if (!win::EqualsIgnoreCase(FromWide(entry.szExeFile, std::wcslen(entry.szExeFile)), name))
            continue;
        if (::HANDLE process =
                ::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, entry.th32ProcessID)) {
            ::TerminateProcess(process, 1);
            ::WaitForSingleObject(process, 5000);
            ::CloseHandle(process);
            ++found;
        }
    }
    ::CloseHandle(snapshot);
    return found > 0 ? 0 : 1;
}

struct Count {
    std::u16string title;
    int shown = 0;
};

BOOL CALLBACK CountShown(::HWND window, LPARAM lParam) {
    auto* count = reinterpret_cast<Count*>(lParam);
    wchar_t text[512] = {};
    const int length = ::GetWindowTextW(window, text, std::size(text));
    if (::IsWindowVisible(window) && FromWide(text, length > 0 ? length : 0) == count->title)
        ++count->shown;
    return TRUE;
}

int Shown(const std::u16string& title) {
    Count count{title};
    ::EnumWindows(&CountShown, reinterpret_cast<LPARAM>(&count));
    return count.shown;
}

void Say(const char* line) {
    std::printf("%s\n", line);
    std::fflush(stdout);
}

// Whether FILE exists; a test makes it to end a command that lasts.
bool Exists(const wchar_t* file) {
    return ::GetFileAttributesW(file) != INVALID_FILE_ATTRIBUTES;
}

// Keeps handle (an event or a file) until FILE exists, a minute at most.
int HoldUntil(::HANDLE handle, const wchar_t* file) {
    // Neither null nor INVALID_HANDLE_VALUE (all bits set), whichever call made it.
    if (!handle || reinterpret_cast<std::uintptr_t>(handle) == ~std::uintptr_t{0}) return 1;
    Say("held");
    for (int i = 0; i < 600 && !Exists(file); ++i) ::Sleep(100);
    ::CloseHandle(handle);
    return 0;
}

int Walk(bool asAnotherUser) {
    if (asAnotherUser) win::detail::TakeCallerForAnotherUser();
    win::HANDLE processes = win::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    win::HANDLE threads = win::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (processes == win::INVALID_HANDLE_VALUE || threads == win::INVALID_HANDLE_VALUE) return 1;
    win::PROCESSENTRY32W process{};
    process.dwSize = sizeof process;
    for (win::BOOL more = win::Process32First(processes, &process); more;
         more = win::Process32Next(processes, &process))
        std::printf("%s\n", win::Utf16ToUtf8(process.szExeFile).c_str());
    win::THREADENTRY32 thread{};
    thread.dwSize = sizeof thread;
    int listed = 0;
    for (win::BOOL more = win::Thread32First(threads, &thread); more;
         more = win::Thread32Next(threads, &thread))
        ++listed;
    std::printf("threads %d\n", listed);
    win::CloseToolhelp32Snapshot(processes);
    win::CloseToolhelp32Snapshot(threads);
    return 0;
}

// Reserves every free range of the address space below 4 GiB, so that what is placed later
// (a thread's stack, a new heap) lies above: there a pointer cut to 32 bits points nowhere.
void ReserveBelowFourGiB() {
    constexpr std::uintptr_t kFourGiB = std::uintptr_t{1} << 32, kGranule = 0x10000;
    ::MEMORY_BASIC_INFORMATION region;
    for (std::uintptr_t at = kGranule; at < kFourGiB;) {
        if (!::VirtualQuery(reinterpret_cast<void*>(at), &region, sizeof region)) return;
        const std::uintptr_t next =
            reinterpret_cast<std::uintptr_t>(region.BaseAddress) + region.RegionSize;
        const std::uintptr_t base = (at + kGranule - 1) & ~(kGranule - 1);
        const std::uintptr_t end = std::min(next, kFourGiB);
        if (region.State == MEM_FREE && end > base)
            ::VirtualAlloc(reinterpret_cast<void*>(base), end - base, MEM_RESERVE, PAGE_NOACCESS);
        at = next;
    }
}

// The dialog's whole life on the calling thread, every message passed to the default
// processing: the real messages carry pointers to the thread's stack (WM_NCCREATE,
// WM_NCCALCSIZE, WM_WINDOWPOSCHANGING, WM_SETTEXT, ...).
DWORD WINAPI DialogLife(void* made) {
    int onTheStack = 0;
    if (reinterpret_cast<std::uintptr_t>(&onTheStack) >> 32 == 0) return 0;
    win::DialogTemplate dialog;
    dialog.title = u"nxwinprobe high";
    dialog.fontName = u"MS Shell Dlg";
    dialog.fontPointSize = 8;
    dialog.style = WS_POPUP | WS_CAPTION | DS_SETFONT;
    dialog.cx = 120;
    dialog.cy = 40;
    dialog.controls.push_back({1, u"EDIT", u"edit", 10, 10, 100, 12, WS_CHILD | WS_VISIBLE});
    win::HWND window = win::CreateDialogIndirectW(dialog, 0, &win::DefDlgProcW);
    win::RECT moved{};
    const bool lived =
        window != 0 && win::GetWindowTextW(window) == dialog.title &&
        win::SetWindowTextW(window, u"nxwinprobe higher") &&
        win::GetWindowTextW(window) == u"nxwinprobe higher" &&
        win::SetDlgItemTextW(window, 1, u"text") && win::GetDlgItemText(window, 1) == u"text" &&
        win::MoveWindow(window, 10, 20, 200, 100) && win::GetWindowRect(window, &moved) &&
        moved.left == 10 && moved.top == 20 && moved.right == 210 && moved.bottom == 120;
    if (window) win::DestroyWindow(window);
    *static_cast<int*>(made) = lived ? 1 : 2;
    return 0;
}

int DialogAboveFourGiB() {
    ReserveBelowFourGiB();
    int made = 0;
    ::HANDLE thread = ::CreateThread(nullptr, 0, &DialogLife, &made, 0, nullptr);
    if (!thread) return 1;
    ::WaitForSingleObject(thread, INFINITE);
    ::CloseHandle(thread);
    Say(made == 0 ? "low" : made == 1 ? "made" : "failed");
    return made == 1 ? 0 : 1;
}

int Watch(const std::u16string& title, const wchar_t* file) {
    Say("watching");
    int most = 0;
    for (int i = 0; i < 6000 && !Exists(file); ++i) {
        most = std::max(most, Shown(title));
        ::Sleep(10);
    }
    std::printf("%d\n", std::max(most, Shown(title)));
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    auto arg = [&](int i) { return i < argc ? FromWide(argv[i], std::wcslen(argv[i])) : u""; };
    const std::u16string command = arg(1), title = arg(2);
    if (command == u"kill") return Kill(title);
    if (command == u"hold" && argc >= 4)
        return HoldUntil(::CreateEventW(nullptr, TRUE, FALSE, argv[2]), argv[3]);
    if (command == u"holdfile" && argc >= 4)
        return HoldUntil(::CreateFileW(argv[2], GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                       FILE_ATTRIBUTE_NORMAL, nullptr),
                         argv[3]);
    if (command == u"watch" && argc >= 4) return Watch(title, argv[3]);
    if (command == u"walk") return Walk(title == u"another");
    if (command == u"highdialog") return DialogAboveFourGiB();
    if (command == u"count") {
        std::printf("%d\n", Shown(title));
        return 0;
    }
    ::HWND window = ::FindWindowW(nullptr, argc > 2 ? argv[2] : L"");
    if (!window) return 1;
    if (command == u"where") {
        if (argc < 4) return Where(window);
        return Where(::FindWindowExW(window, nullptr, nullptr, argv[3]));
    }
    if (command == u"text" && argc >= 4) {
        ::HWND control = ::GetDlgItem(window, static_cast<int>(std::wcstol(argv[3], nullptr, 10)));
        return control ? PrintText(control) : 1;
    }
    if (command == u"checked" && argc >= 4) {
        ::HWND button = ::GetDlgItem(window, static_cast<int>(std::wcstol(argv[3], nullptr, 10)));
        DWORD_PTR state = 0;
        if (!button ||
            !::SendMessageTimeoutW(button, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, 5000, &state))
            return 1;
        std::printf("%d\n", state == BST_CHECKED ? 1 : 0);
        return 0;
    }
    if (command == u"focus") {
        ::GUITHREADINFO info{};
        info.cbSize = sizeof info;
        if (!::GetGUIThreadInfo(::GetWindowThreadProcessId(window, nullptr), &info) ||
            !info.hwndFocus)
            return 1;
        return PrintText(info.hwndFocus);
    }
    std::fprintf(stderr,
                 "usage: nxwinprobe "
                 "where|text|checked|focus|count|kill|hold|holdfile|walk|highdialog|watch ...\n");
    return 2;
}
