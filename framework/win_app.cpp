#include "framework/win_app.h"

#include "framework/wnd.h"
#include "platform/message.h"
#include "platform/message_box.h"

namespace {

CWinApp* g_app = nullptr;
CWnd* g_mainWindowWithoutApp = nullptr;

constexpr win::UINT kIconMask = 0x000000F0;
constexpr win::UINT kTypeMask = 0x0000000F;
constexpr win::UINT kOkCancel = 0x00000001;

}  // namespace

CWinApp::CWinApp(const char16_t* appName) {
    if (appName) {
        appName_ = appName;
        m_pszAppName = appName_.c_str();
    }
    g_app = this;
}

CWinApp::~CWinApp() {
    if (g_app == this) g_app = nullptr;
}

win::BOOL CWinApp::InitInstance() {
    return win::TRUE;
}

int CWinApp::Run() {
    win::MSG msg;
    while (win::GetMessageW(&msg)) {
        if (msg.message == win::WM_QUIT) {
            exitCode_ = static_cast<int>(msg.wParam);
            break;
        }
    }
    return ExitInstance();
}

int CWinApp::ExitInstance() {
    return exitCode_;
}

void CWinApp::InitApplication(std::u16string_view programPath, std::u16string_view commandLine) {
    commandLine_ = commandLine;
    m_lpCmdLine = commandLine_.c_str();
    if (appName_.empty()) {
        appName_ = AppNameFromProgramPath(programPath);
        m_pszAppName = appName_.c_str();
    }
}

CWinApp* AfxGetApp() {
    return g_app;
}

CWnd* AfxGetMainWnd() {
    if (CWinApp* app = AfxGetApp()) return app->m_pMainWnd;
    return g_mainWindowWithoutApp;
}

void AfxSetMainWnd(CWnd* window) {
    if (CWinApp* app = AfxGetApp()) {
        app->m_pMainWnd = window;
    } else {
        g_mainWindowWithoutApp = window;
    }
}

std::u16string AppNameFromProgramPath(std::u16string_view programPath) {
    std::size_t slash = programPath.find_last_of(u"/\\");
    std::u16string_view name =
        slash == std::u16string_view::npos ? programPath : programPath.substr(slash + 1);
    std::size_t dot = name.rfind(u'.');
    if (dot != std::u16string_view::npos && dot > 0) name = name.substr(0, dot);
    return std::u16string(name);
}

int AfxWinMain(std::u16string_view programPath, std::u16string_view commandLine) {
    CWinApp* app = AfxGetApp();
    if (!app) return -1;
    app->InitApplication(programPath, commandLine);
    if (!app->InitInstance()) return app->ExitInstance();
    return app->Run();
}

int AfxMessageBox(std::u16string_view text, win::UINT type) {
    if ((type & kIconMask) == 0 &&
        ((type & kTypeMask) == win::MB_OK || (type & kTypeMask) == kOkCancel))
        type |= win::MB_ICONEXCLAMATION;
    type |= win::MB_SETFOREGROUND;
    const CWinApp* app = AfxGetApp();
    const CWnd* owner = AfxGetMainWnd();
    return win::MessageBoxW(owner ? owner->m_hWnd : 0, text, app ? app->m_pszAppName : u"", type);
}
