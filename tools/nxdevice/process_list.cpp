#include "tools/nxdevice/process_list.h"

#include "platform/process.h"
#include "platform/toolhelp.h"
#include "platform/unicode.h"

namespace nxdevice {

std::optional<std::vector<DeviceProcess>> ListDeviceProcesses() {
    const win::DWORD self = win::GetCurrentProcessId();
    std::vector<DeviceProcess> list;

    win::HANDLE processes = win::CreateToolhelp32Snapshot(win::TH32CS_SNAPPROCESS, 0);
    if (processes == win::INVALID_HANDLE_VALUE) return std::nullopt;
    win::PROCESSENTRY32W p{};
    p.dwSize = sizeof p;
    for (bool ok = win::Process32First(processes, &p); ok; ok = win::Process32Next(processes, &p)) {
        if (p.th32ProcessID == self) continue;
        std::u16string_view name(p.szExeFile);
        list.push_back({p.th32ProcessID, 0, win::Utf16ToUtf8(name)});
    }
    win::CloseToolhelp32Snapshot(processes);

    win::HANDLE threads = win::CreateToolhelp32Snapshot(win::TH32CS_SNAPTHREAD, 0);
    if (threads == win::INVALID_HANDLE_VALUE) return std::nullopt;
    win::THREADENTRY32 t{};
    t.dwSize = sizeof t;
    for (bool ok = win::Thread32First(threads, &t); ok; ok = win::Thread32Next(threads, &t)) {
        for (DeviceProcess& process : list)
            if (process.processId == t.th32OwnerProcessID && process.firstThreadId == 0)
                process.firstThreadId = t.th32ThreadID;
    }
    win::CloseToolhelp32Snapshot(threads);
    // In ascending id, as the walk lists them: until the ids wrap round, stop then signals a
    // parent before its children, so no parent sees a child end and goes on before its own
    // signal.
    return list;
}

}  // namespace nxdevice
