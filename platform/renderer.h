#pragma once
// Renderers draw dialogs and message boxes and turn input into messages; they never decide
// behaviour. The headless renderer draws nothing and needs no display; a windowing renderer
// shows real windows when a display is there. On Windows, where the window system draws, only
// SetRenderer, MakeHeadlessRenderer and PrepareForDialogs exist: the headless renderer keeps
// the dialogs made after it hidden.

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

    // The dialog's model changed (created, shown, hidden, texts, checks, focus, position, icon):
    // draw it as it now stands, at once.
    virtual void DialogChanged(HWND dialog) = 0;
    // The dialog is gone.
    virtual void DialogDestroyed(HWND dialog) = 0;

    // Shows a modal message box and returns the button pressed (IDOK).
    virtual int MessageBox(HWND owner, std::u16string_view text, std::u16string_view caption,
                           UINT type) = 0;

    // Waits until the descriptor of the thread's queue is readable or input has arrived (input
    // is turned into messages posted to the dialog's window, e.g. BM_CLICK, WM_KEYDOWN,
    // WM_CLOSE, WM_COMMAND IDOK for the title-bar OK).
    virtual void WaitForInput(int queueDescriptor) = 0;
};

// The renderer of this process, chosen on first use: the windowing renderer when it is built
// in and a display is there, otherwise the headless one.
Renderer& CurrentRenderer();

// Replaces the renderer (tests; and runs that must never need a display).
void SetRenderer(std::unique_ptr<Renderer> renderer);
std::unique_ptr<Renderer> MakeHeadlessRenderer();

// What a program can do with windows beyond the headless renderer. A program gets it by
// linking one of the window libraries (platform/window: FLTK in the process; platform/
// window_handoff: windows handed to programs beside it), which install it before main; a
// program that links neither shows headless windows only.
struct WindowSupport {
    // The windowing renderer, or nullptr when no display is there.
    std::unique_ptr<Renderer> (*makeRenderer)() = nullptr;
    // Called once the program knows it will show dialogs, before it has made anything shared
    // with other processes; may replace the process (same id, arguments and environment) with
    // a program that can show them. Returns when the process stays as it is.
    void (*prepareForDialogs)() = nullptr;
};
void InstallWindowSupport(const WindowSupport& support);

// The windowing renderer, or nullptr when the program has none or no display is there.
std::unique_ptr<Renderer> MakeWindowRenderer();

// See WindowSupport::prepareForDialogs; does nothing in a program without window support.
void PrepareForDialogs();

}  // namespace win
