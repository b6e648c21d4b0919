#pragma once
// One dialog's FLTK window. It draws the dialog's model (DialogState) and turns the user's
// input into messages for the dialog: a click on a button or radio button is BM_CLICK with the
// control's id; Tab (Shift-Tab), Space, Enter, Esc and the arrow keys are WM_KEYDOWN when
// pressed (with KF_PREVIOUSLY_DOWN when the key repeats while held) and WM_KEYUP when
// released; the title-bar OK is WM_COMMAND IDOK and the window manager's close is WM_CLOSE.
// What those messages do is the dialog manager's business; the window never changes its own
// state in answer to input.
//
// The window draws the device's frame and caption itself and asks the window manager for no
// decoration of its own, so a desktop shows one caption, and the window's outer frame is
// exactly the model's window rectangle.

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "platform/dialog_posix.h"
#include "platform/fltk/renderer_fltk_widgets.h"

namespace win::fltk {

// The WM_KEYDOWN a key press becomes, or nullopt for keys the dialog does not take (keys with
// Ctrl, Alt or Meta held are not taken). Shift-Tab is VK_TAB with KF_SHIFT_HELD.
struct KeyMessage {
    WPARAM virtualKey = 0;
    LPARAM flags = 0;
    friend bool operator==(const KeyMessage&, const KeyMessage&) = default;
};
std::optional<KeyMessage> KeyMessageFor(int flKey, int flState);

// Delivers a message to the dialog (the renderer posts it to the dialog's window).
using PostFunction = std::function<void(UINT message, WPARAM wParam, LPARAM lParam)>;

// The frame and caption the window draws around a dialog's client area.
Renderer::FrameInsets FrameInsetsFor(const DialogTemplate& dialog, const DialogFont& font);

class DialogWindow : public FramedWindow {
  public:
    // Builds the window and its controls from the state's template; nothing is shown yet.
    DialogWindow(const DialogState& state, const DialogFont& font, PostFunction post);
    ~DialogWindow() override;

    // Brings the window in line with the model: title, place, control texts, checks, focus,
    // icons (resolved by the caller; nullptr for none), shown or hidden.
    void Sync(const DialogState& state, const IconResource* bigIcon, const IconResource* smallIcon);

    int handle(int event) override;

  private:
    static void OnClose(Fl_Widget* window, void* self);
    void SetIcons(const IconResource* bigIcon, const IconResource* smallIcon);
    bool KeyPressed(int flKey, int flState);
    bool KeyReleased(int flKey);

    PostFunction post_;
    CaptionStrip* caption_ = nullptr;
    // The keys reported down and not yet up (FLTK key to virtual key), to mark repeats and to
    // report each release once.
    std::map<int, WPARAM> keysDown_;
    std::vector<ControlWidget*> controls_;  // template order; owned by the window
    std::vector<std::unique_ptr<IconPixels>> icons_;
    HICON bigIcon_ = 0, smallIcon_ = 0;
    bool iconsSet_ = false;
    RECT placed_{};
};

}  // namespace win::fltk
