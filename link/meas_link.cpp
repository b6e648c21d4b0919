// Setting up and releasing the link, copying the shared record and posting commands.
#include "link/meas_link.h"

#include <array>
#include <cstring>

#include "framework/win_app.h"
#include "link/protocol/meas_protocol.h"
#include "link/protocol/meas_record.h"
#include "platform/message.h"
#include "platform/mutex.h"
#include "platform/section.h"

win::DWORD g_measThreadId = 0;
win::UINT g_msgDataChange = 0;
win::UINT g_msgSetEdmMode = 0;
win::UINT g_msgSetParameter = 0;
win::UINT g_msgConfParameter = 0;
win::UINT g_msgListParameter = 0;
win::UINT g_msgTiltOver = 0;
win::UINT g_msgSysError = 0;
win::HANDLE g_measSection = nullptr;
std::uint8_t* g_measView = nullptr;
win::HANDLE g_measMutex = nullptr;

namespace {

constexpr char16_t kFindFailedText[] = u"Nedix meas system error!";
constexpr char16_t kRegisterFailedText[] = u"Registration message error!";
constexpr char16_t kSectionFailedText[] = u"Fail to create data exchange section!";
constexpr char16_t kMapFailedText[] = u"Fail to map data!";
constexpr char16_t kMutexFailedText[] = u"Fail to create Mutex!";

struct Registration {
    const char16_t* name;
    win::UINT* id;
};

// In the order they are registered.
const std::array<Registration, 7> kRegistrations{{
    {kMsgDataChange, &g_msgDataChange},
    {kMsgSetEdmMode, &g_msgSetEdmMode},
    {kMsgSetParameter, &g_msgSetParameter},
    {kMsgConfParameter, &g_msgConfParameter},
    {kMsgListParameter, &g_msgListParameter},
    {kMsgTiltOver, &g_msgTiltOver},
    {kMsgSysError, &g_msgSysError},
}};

// Releases what the failed step left held (DisconnectMeasSystem releases exactly that, in the
// order the set-up asks for), then shows the step's one message. Nothing is held while the
// modal box waits for the user.
bool FailSetup(const char16_t* text) {
    DisconnectMeasSystem();
    AfxMessageBox(text);
    return false;
}

}  // namespace

bool ConnectMeasSystem() {
    if (!FindMeasSystemThread()) return FailSetup(kFindFailedText);
    return OpenMeasResources();
}

bool OpenMeasResources() {
    for (const Registration& r : kRegistrations) {
        *r.id = win::RegisterWindowMessageW(r.name);
        if (*r.id == 0) return FailSetup(kRegisterFailedText);
    }

    win::HANDLE section =
        win::CreateFileMappingW(win::INVALID_HANDLE_VALUE, nullptr, win::PAGE_READWRITE, 0,
                                kMeasRecordSize, kMeasSectionName);
    if (section == nullptr || section == win::INVALID_HANDLE_VALUE)
        return FailSetup(kSectionFailedText);
    g_measSection = section;

    g_measView = static_cast<std::uint8_t*>(
        win::MapViewOfFile(g_measSection, win::FILE_MAP_ALL_ACCESS, 0, 0, 0));
    if (g_measView == nullptr) return FailSetup(kMapFailedText);

    g_measMutex = win::CreateMutexW(nullptr, win::FALSE, kMeasMutexName);
    if (g_measMutex == nullptr) return FailSetup(kMutexFailedText);
    return true;
}

void DisconnectMeasSystem() {
    if (g_measView) {
        win::UnmapViewOfFile(g_measView);
        g_measView = nullptr;
    }
    if (g_measSection) {
        win::CloseHandle(g_measSection);
        g_measSection = nullptr;
    }
    if (g_measMutex) {
        win::CloseHandle(g_measMutex);
        g_measMutex = nullptr;
    }
}

void ReadMeasRecord(void* destination) {
    if (win::WaitForSingleObject(g_measMutex, win::INFINITE) == win::WAIT_OBJECT_0)
        std::memcpy(destination, g_measView, kMeasRecordSize);
    // After a failed wait the platform refuses the release; that is of no consequence.
    win::ReleaseMutex(g_measMutex);
}

win::BOOL PostEdmCommand(std::int32_t code, std::int32_t value) {
    return win::PostThreadMessageW(g_measThreadId, g_msgSetEdmMode, static_cast<win::WPARAM>(code),
                                   value);
}

win::BOOL PostSetParameter(std::int32_t parameter, std::int32_t value) {
    return win::PostThreadMessageW(g_measThreadId, g_msgSetParameter,
                                   static_cast<win::WPARAM>(parameter), value);
}

win::BOOL PostConfParameter(std::int32_t parameter, std::int32_t value) {
    return win::PostThreadMessageW(g_measThreadId, g_msgConfParameter,
                                   static_cast<win::WPARAM>(parameter), value);
}
