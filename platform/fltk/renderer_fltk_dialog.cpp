#include "platform/fltk/renderer_fltk_dialog.h"

#include <FL/Enumerations.H>
#include <FL/Fl.H>
#include <FL/x.H>
#include <X11/XKBlib.h>

#include <algorithm>

#include "platform/dialog_posix.h"
#include "platform/unicode.h"

namespace win::fltk {

namespace {

constexpr int kIsoLeftTab = 0xFE20;  // the key symbol some keyboards give for Shift-Tab

}  // namespace

Renderer::FrameInsets FrameInsetsFor(const DialogTemplate& dialog, const DialogFont& font) {
    const int edge = WindowFrameWidth();
    const int caption =
        (dialog.style & WS_CAPTION) == WS_CAPTION ? CaptionStrip::HeightFor(font) : 0;
    return {edge, edge + caption, edge, edge};
}

std::optional<KeyMessage> KeyMessageFor(int flKey, int flState) {
    static const std::map<int, WPARAM> kKeys = {
        {FL_Tab, VK_TAB},         {' ', VK_SPACE},        {FL_Enter, VK_RETURN},
        {FL_KP_Enter, VK_RETURN}, {FL_Escape, VK_ESCAPE}, {FL_Left, VK_LEFT},
        {FL_Up, VK_UP},           {FL_Right, VK_RIGHT},   {FL_Down, VK_DOWN}};
    if (flState & (FL_CTRL | FL_ALT | FL_META)) return std::nullopt;
    if (flKey == kIsoLeftTab) return KeyMessage{VK_TAB, KF_SHIFT_HELD};
    const auto key = kKeys.find(flKey);
    if (key == kKeys.end()) return std::nullopt;
    return KeyMessage{key->second, (flState & FL_SHIFT) ? KF_SHIFT_HELD : 0};
}

DialogWindow::DialogWindow(const DialogState& state, const DialogFont& font, PostFunction post)
    : FramedWindow(1, 1), post_(std::move(post)) {
    const DialogTemplate& dialog = *state.dialog;
    const Renderer::FrameInsets frame = FrameInsetsFor(dialog, font);
    size(frame.left + font.X(dialog.cx) + frame.right,
         frame.top + font.Y(dialog.cy) + frame.bottom);
    color(kFaceColour);
    callback(&DialogWindow::OnClose, this);
    border(0);  // the frame and the caption are the window's own
    // A held key repeats its press without releases in between, as on the device: otherwise
    // X reports each repeat as a release and a press, and one slipping through would be a
    // release, a click, for the dialog.
    XkbSetDetectableAutoRepeat(fl_display, True, nullptr);
    if ((dialog.style & WS_CAPTION) == WS_CAPTION) {
        std::function<void()> onOk;
        if (dialog.exStyle & WS_EX_CAPTIONOKBTN)
            onOk = [this] { post_(WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0); };
        const int edge = WindowFrameWidth();
        caption_ = new CaptionStrip(edge, edge, w() - 2 * edge, font, std::move(onOk));
    }
    for (const DialogControlTemplate& c : dialog.controls) {
        const WORD id = c.id;
        controls_.push_back(new ControlWidget(c, font, frame.left + font.X(c.x),
                                              frame.top + font.Y(c.y), font.X(c.cx), font.Y(c.cy),
                                              [this, id] { post_(BM_CLICK, id, 0); }));
    }
    end();
    resizable(nullptr);  // a new size from the model keeps the controls where they are
}

DialogWindow::~DialogWindow() {
    hide();
    if (caption_) caption_->SetIcon(nullptr);
}

void DialogWindow::Sync(const DialogState& state, const IconResource* bigIcon,
                        const IconResource* smallIcon) {
    const std::string title = Utf16ToUtf8(state.title);
    if (!label() || title != label()) copy_label(title.c_str());
    if (caption_) caption_->SetTitle(title);

    for (std::size_t i = 0; i < controls_.size() && i < state.controls.size(); ++i) {
        const DialogControlState& c = state.controls[i];
        controls_[i]->SetText(Utf16ToUtf8(c.text));
        controls_[i]->SetChecked(c.check == BST_CHECKED);
        controls_[i]->SetPushed(c.pushed);
        controls_[i]->SetDefault(c.isDefault);
        controls_[i]->SetFocused(state.focusedControl != 0 && c.control &&
                                 c.control->id == state.focusedControl);
    }

    if (!iconsSet_ || state.bigIcon != bigIcon_ || state.smallIcon != smallIcon_) {
        bigIcon_ = state.bigIcon;
        smallIcon_ = state.smallIcon;
        iconsSet_ = true;
        SetIcons(bigIcon, smallIcon);
    }

    if (state.windowRect != placed_) {
        // The model's rectangle is the whole window, frame and caption included.
        placed_ = state.windowRect;
        resize(placed_.left, placed_.top, std::max<LONG>(placed_.right - placed_.left, 1),
               std::max<LONG>(placed_.bottom - placed_.top, 1));
    }

    if (state.visible && !shown()) show();
    if (!state.visible && shown()) hide();
}

void DialogWindow::SetIcons(const IconResource* bigIcon, const IconResource* smallIcon) {
    // The window manager gets every image of both icons and picks its sizes; the caption strip
    // shows the smallest image.
    std::vector<std::unique_ptr<IconPixels>> icons;
    for (const IconResource* resource : {bigIcon, smallIcon}) {
        if (!resource) continue;
        for (const IconImage& image : resource->images)
            if (auto pixels = ConvertIcon(image)) icons.push_back(std::move(pixels));
    }
    const Fl_RGB_Image* smallest = nullptr;
    std::vector<const Fl_RGB_Image*> images;
    for (const auto& icon : icons) {
        images.push_back(icon->image.get());
        if (!smallest || icon->image->w() < smallest->w()) smallest = icon->image.get();
    }
    if (caption_) caption_->SetIcon(smallest);
    // FLTK copies the images it is given, so the old pixels may go now.
    this->icons(images.empty() ? nullptr : images.data(), static_cast<int>(images.size()));
    icons_ = std::move(icons);
}

int DialogWindow::handle(int event) {
    switch (event) {
        case FL_FOCUS:
            return 1;  // the window itself takes the keyboard, so key releases reach it too
        case FL_UNFOCUS:
            keysDown_.clear();  // their releases go elsewhere now
            break;
        case FL_KEYBOARD:
        case FL_SHORTCUT:
            if (KeyPressed(Fl::event_key(), Fl::event_state())) return 1;
            break;
        case FL_KEYUP:
            if (KeyReleased(Fl::event_key())) return 1;
            break;
        default:
            break;
    }
    return Fl_Double_Window::handle(event);
}

bool DialogWindow::KeyPressed(int flKey, int flState) {
    const std::optional<KeyMessage> key = KeyMessageFor(flKey, flState);
    if (!key) return false;
    // A key already down is the keyboard's auto-repeat.
    const bool repeat = !keysDown_.emplace(flKey, key->virtualKey).second;
    post_(WM_KEYDOWN, key->virtualKey, key->flags | (repeat ? KF_PREVIOUSLY_DOWN : 0));
    return true;
}

bool DialogWindow::KeyReleased(int flKey) {
    auto down = keysDown_.find(flKey);
    if (down == keysDown_.end()) return false;
    const WPARAM virtualKey = down->second;
    keysDown_.erase(down);
    post_(WM_KEYUP, virtualKey, KF_PREVIOUSLY_DOWN | KF_RELEASED);
    return true;
}

void DialogWindow::OnClose(Fl_Widget*, void* self) {
    auto* window = static_cast<DialogWindow*>(self);
    // FLTK closes a window on an unused Esc by calling this callback; Esc belongs to the
    // dialog as a key.
    if (Fl::event() == FL_SHORTCUT && Fl::event_key() == FL_Escape) {
        window->post_(WM_KEYDOWN, VK_ESCAPE, 0);
        return;
    }
    window->post_(WM_CLOSE, 0, 0);
}

}  // namespace win::fltk
