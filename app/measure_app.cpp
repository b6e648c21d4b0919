#include "app/measure_app.h"

#include "app/command_line.h"
#include "app/run_mode.h"
#include "app/unattended_run.h"
#include "dialog/measure_dlg.h"
#include "link/meas_link.h"
#include "platform/screen.h"

// Constructed with no application name: the framework names the application after the
// program file.
CMeasureApp::CMeasureApp() = default;

CMeasureApp::~CMeasureApp() = default;

win::BOOL CMeasureApp::InitInstance() {
    std::u16string_view commandLine = m_lpCmdLine;
    g_runMode = ReadRunMode(commandLine);
    g_installPath = ReadInstallPath(commandLine);
    g_firmwareYear = ReadFirmwareYear(commandLine);
    // The dialog and a set-up failure's message box are shown on the screen; the display is
    // opened only when one of them is about to be.
    win::ShowWindowsOnScreen();

    if (!ConnectMeasSystem()) return win::FALSE;
    if (g_runMode < 0) return win::FALSE;

    switch (g_runMode) {
        case Interactive:
        case VersionQuery: {
            // The dialog runs modally as the main window; the run returns once its window has
            // been destroyed (which also makes the framework forget it as main window), and
            // its result is not needed.
            CMeasureDlg dialog(nullptr);
            AfxSetMainWnd(&dialog);
            dialog.DoModal();
            break;
        }
        case AnglesAndDistance:
        case AnglesOnly: {
            // No message loop runs and nobody looks at the window, so an unattended run keeps
            // it off the screen and never touches the display.
            win::KeepWindowsOffScreen();
            CMeasureDlg dialog;
            RunUnattendedMeasurement(dialog, g_runMode == AnglesAndDistance);
            break;
        }
        case NoMode:
            break;
    }
    return win::FALSE;
}

int CMeasureApp::ExitInstance() {
    DisconnectMeasSystem();
    return CWinApp::ExitInstance();
}
