// The stand-in's waiting on Windows: the thread's message queue, which a WM_QUIT ends.
#include <cstdio>

#include "platform/unicode.h"
#include "platform/windows_api.h"
#include "tools/nxsim/waiting.h"

namespace nxsim {

Waiting::Waiting() = default;
Waiting::~Waiting() = default;

bool Waiting::Failed() const {
    return false;
}

// Any call of the window system would make the thread's queue, so the pause is a plain sleep;
// nothing can ask the stand-in to end before it has a queue to take a WM_QUIT.
bool Waiting::Pause(int milliseconds) {
    ::Sleep(static_cast<DWORD>(milliseconds));
    return true;
}

bool Waiting::CreateQueue() {
    ::MSG ignored;
    ::PeekMessageW(&ignored, nullptr, 0, 0, PM_NOREMOVE);
    return true;
}

Waiting::Event Waiting::Wait(int timeoutMs) {
    DWORD result = ::MsgWaitForMultipleObjectsEx(
        0, nullptr, timeoutMs < 0 ? INFINITE : static_cast<DWORD>(timeoutMs), QS_ALLINPUT,
        MWMO_INPUTAVAILABLE);
    if (result == WAIT_OBJECT_0) return Event::Message;
    if (result == WAIT_TIMEOUT) return Event::Timeout;
    std::fprintf(stderr, "nxsim: MsgWaitForMultipleObjectsEx: error %lu\n", ::GetLastError());
    return Event::Failed;
}

std::string OwnFolder() {
    wchar_t path[MAX_PATH];
    DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::u16string folder(reinterpret_cast<const char16_t*>(path), length);
    folder.erase(folder.find_last_of(u"\\/") + 1);
    return win::Utf16ToUtf8(folder);
}

void EndAbruptly() {
    ::TerminateProcess(::GetCurrentProcess(), 137);
    for (;;) ::Sleep(INFINITE);  // not reached: the process ends in TerminateProcess
}

}  // namespace nxsim
