#pragma once
// The application object: its start-up hook owns the whole run, its exit hook releases the
// link.

#include "framework/win_app.h"

class CMeasureApp : public CWinApp {
  public:
    CMeasureApp();
    ~CMeasureApp() override;

    // Reads the command line into g_runMode, g_installPath and g_firmwareYear, sets up the
    // link, and runs the dialog in the way the mode asks. Returns false on every path, so the
    // framework never runs a message loop of its own.
    win::BOOL InitInstance() override;

    // Releases the link, then returns the framework's exit processing result unchanged.
    int ExitInstance() override;
};
