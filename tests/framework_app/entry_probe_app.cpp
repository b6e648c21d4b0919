// An application that reports what the process entry handed it: its name, then the command
// line's UTF-16 code units in hex, on standard output. Its exit hook returns 7.
#include <cstdio>
#include <string_view>

#include "framework/win_app.h"

namespace {

class ProbeApp : public CWinApp {
  public:
    win::BOOL InitInstance() override {
        for (const char16_t* p = m_pszAppName; *p; ++p) std::printf("%c", static_cast<char>(*p));
        std::printf("\n");
        for (const char16_t* p = m_lpCmdLine; *p; ++p)
            std::printf("%04x ", static_cast<unsigned>(*p));
        std::printf("\n");
        return win::FALSE;
    }
    int ExitInstance() override { return 7; }
};

ProbeApp theApp;

}  // namespace
