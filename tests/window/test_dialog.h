#pragma once
// A synthetic dialog template and a recording renderer for the window tests.

#include <functional>
#include <map>
#include <vector>

#include "platform/renderer_posix.h"

namespace nxtest {

// Control ids of the synthetic template, in template order:
//   201 radio (group start), 202 radio, 301 push button, 203 radio,
//   401 disabled edit, 402 hidden push button, 501 hidden radio,
//   static (group start, no id), 204 radio, 302 push button, 403 edit.
// The first group holds 201, 202, 203 and the hidden 501, with other controls between them.
enum TestControl : int {
    kRadioA = 201,
    kRadioB = 202,
    kRadioC = 203,
    kRadioOther = 204,
    kPushFirst = 301,
    kPushLast = 302,
    kEditDisabled = 401,
    kPushHidden = 402,
    kEdit = 403,
    kRadioHidden = 501,
};

// Tab stops that are visible and enabled, in template order.
inline const std::vector<int> kReachableTabStops = {kRadioA,     kRadioB,   kPushFirst, kRadioC,
                                                    kRadioOther, kPushLast, kEdit};

win::DialogTemplate MakeTestTemplate();

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
