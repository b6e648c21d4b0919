#pragma once
// Renderers draw dialogs and message boxes and turn input into messages; they never decide
// behaviour. The headless renderer draws nothing and needs no display; a windowing renderer
// shows real windows when a display is there. Linux only: on Windows the window system draws
// (screen_win.cpp).

#include <memory>

#include "platform/dialog.h"

namespace win {

class Renderer {
  public:
    virtual ~Renderer() = default;

    // Pixels per dialog unit for a template's font: x = baseX / 4, y = baseY / 8.
    struct BaseUnits {
        int x = 8, y = 16;
    };
    virtual BaseUnits DialogBaseUnits(const DialogTemplate& dialog) = 0;
    virtual RECT WorkArea() = 0;

    // What the window's frame and caption add around a dialog's client area, in pixels, as the
    // platform's AdjustWindowRectEx tells it. A renderer that draws no frame adds nothing.
    struct FrameInsets {
        int left = 0, top = 0, right = 0, bottom = 0;
    };
    virtual FrameInsets DialogFrame(const DialogTemplate& /*dialog*/) { return {}; }

    // The dialog's model changed (created, shown, hidden, texts, checks, pushed and default
    // buttons, focus, position, icon): draw it as it now stands, at once, the whole window at
    // the model's window rectangle.
    virtual void DialogChanged(HWND dialog) = 0;
    // The dialog is gone.
    virtual void DialogDestroyed(HWND dialog) = 0;

    // Shows a modal message box and returns the button pressed (IDOK).
    virtual int MessageBox(HWND owner, std::u16string_view text, std::u16string_view caption,
                           UINT type) = 0;

    // Waits until the descriptor of the thread's queue is readable or input has arrived (input
    // is turned into messages posted to the dialog's window, e.g. BM_CLICK, WM_KEYDOWN and
    // WM_KEYUP, WM_CLOSE, WM_COMMAND IDOK for the title-bar OK).
    virtual void WaitForInput(int queueDescriptor) = 0;
};

// The renderer of this process (platform/screen.h decides which), chosen when it is first
// needed: the window renderer when windows go on the screen and a display opens, otherwise
// the headless one.
Renderer& CurrentRenderer();

// Tests: this renderer from now on, whatever the program asks of the screen; nullptr gives the
// choice back.
void SetRenderer(std::unique_ptr<Renderer> renderer);

std::unique_ptr<Renderer> MakeHeadlessRenderer();

// The FLTK renderer on the display named by DISPLAY, or nullptr when no display opens. The
// display is opened by the first call, once per process.
std::unique_ptr<Renderer> MakeWindowRenderer();

}  // namespace win
