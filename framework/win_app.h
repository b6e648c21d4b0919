#pragma once
// The application object: the one object that owns a program's run. The program defines exactly
// one static instance of a class derived from CWinApp; the process entry hands the command line
// to AfxWinMain, which calls the start-up and exit hooks.

#include <string>
#include <string_view>

#include "platform/win_types.h"

class CWnd;

class CWinApp {
  public:
    // Registers this object as the application. appName nullptr: the application is named
    // after the program file (see AfxWinMain).
    explicit CWinApp(const char16_t* appName = nullptr);
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    // The start-up hook, called once after the framework's initialisation. True asks the
    // framework to run the application's message loop (Run); false ends the run at once.
    virtual win::BOOL InitInstance();

    // The framework's message loop: waits on the thread's queue until WM_QUIT arrives, then
    // returns ExitInstance's result.
    virtual int Run();

    // The exit hook, called once when the run ends. The framework's own exit processing
    // returns the exit code that WM_QUIT carried, 0 when none arrived.
    virtual int ExitInstance();

    // Stores the command line and, when none was given at construction, names the
    // application after the program file: its name without folder and extension.
    void InitApplication(std::u16string_view programPath, std::u16string_view commandLine);

    const char16_t* m_pszAppName = u"";  // the caption of every message box
    const char16_t* m_lpCmdLine = u"";   // the argument text, without the program's name
    CWnd* m_pMainWnd = nullptr;          // the main window while one runs

  private:
    std::u16string appName_;
    std::u16string commandLine_;
    int exitCode_ = 0;
};

// The registered application object, or nullptr when none exists.
CWinApp* AfxGetApp();

// The application's main window, if any (a modal dialog made main window by the shell). Without
// an application object (tools and tests) the framework keeps it itself.
CWnd* AfxGetMainWnd();
void AfxSetMainWnd(CWnd* window);

// The program file's name without folder ('/' or '\') and extension ("/x/nxbridge.exe" ->
// "nxbridge").
std::u16string AppNameFromProgramPath(std::u16string_view programPath);

// The framework's main routine: initialises the application with the program path and the
// command line, calls the start-up hook and, when it returns false, the exit hook; otherwise
// runs the message loop. Returns the exit hook's result, the process's exit code. -1 when no
// application object exists.
int AfxWinMain(std::u16string_view programPath, std::u16string_view commandLine);

// The application's message box: modal, brought to the foreground, captioned with the
// application's name. Its owner is the main window while one exists (the box is modal over it:
// the main window takes no input until the box is closed), else none. Without an icon in
// type, OK and OK-Cancel boxes get the exclamation icon. Returns the button pressed.
int AfxMessageBox(std::u16string_view text, win::UINT type = 0 /* MB_OK */);
