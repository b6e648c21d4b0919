#pragma once
// A recording renderer for the window tests of our dialog manager (Linux), and the synthetic
// dialog template (test_template.h).

#include <functional>
#include <map>
#include <vector>

#include "platform/renderer_posix.h"
#include "tests/window/test_template.h"

namespace nxtest {

// A renderer that records what it is told. WaitForInput runs the next scripted input (which
// usually posts a message), or waits on the queue briefly when the script is empty.
class RecordingRenderer : public win::Renderer {
  public:
    BaseUnits DialogBaseUnits(const win::DialogTemplate&) override { return {8, 16}; }
    win::RECT WorkArea() override { return workArea; }
    FrameInsets DialogFrame(const win::DialogTemplate&) override { return frame; }
    void DialogChanged(win::HWND dialog) override { ++changes[dialog]; }
    void DialogDestroyed(win::HWND dialog) override { destroyed.push_back(dialog); }
    int MessageBox(win::HWND owner, std::u16string_view, std::u16string_view, win::UINT) override {
        boxOwners.push_back(owner);
        return win::IDOK;
    }
    void WaitForInput(int queueDescriptor) override;

    win::RECT workArea{0, 0, 480, 640};
    FrameInsets frame;
    std::map<win::HWND, int> changes;
    std::vector<win::HWND> destroyed;
    std::vector<win::HWND> boxOwners;           // of each message box shown
    std::vector<std::function<void()>> script;  // run front first, one per wait
    int waits = 0;
};

// Installs a fresh recording renderer for this process and returns it.
RecordingRenderer& InstallRecordingRenderer();

// Takes every message left in the thread's queue.
void DrainQueue();

}  // namespace nxtest
