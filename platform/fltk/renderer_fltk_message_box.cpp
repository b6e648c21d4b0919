#include "platform/fltk/renderer_fltk_message_box.h"

#include <FL/Fl.H>
#include <FL/fl_draw.H>
#include <FL/x.H>

#include <algorithm>

#include "platform/message_box.h"

namespace win::fltk {

namespace {

constexpr UINT kIconMask = 0x000000F0;
constexpr int kMargin = 12;
constexpr int kIconSize = 32;
constexpr int kMaxTextWidth = 300;

// The exclamation icon: a yellow warning triangle holding a black "!".
class ExclamationIcon : public Fl_Widget {
  public:
    ExclamationIcon(int x, int y) : Fl_Widget(x, y, kIconSize, kIconSize) {}
    void draw() override {
        const int l = x(), t = y(), s = w();
        fl_color(fl_rgb_color(0xFF, 0xE0, 0x00));
        fl_polygon(l + s / 2, t + 1, l + s - 1, t + s - 2, l, t + s - 2);
        fl_color(FL_BLACK);
        fl_loop(l + s / 2, t + 1, l + s - 1, t + s - 2, l, t + s - 2);
        fl_rectf(l + s / 2 - 2, t + 10, 4, 11);
        fl_rectf(l + s / 2 - 2, t + 24, 4, 4);
    }
};

class MessageBoxWindow : public FramedWindow {
  public:
    MessageBoxWindow(int w, int h) : FramedWindow(w, h) {
        callback(
            [](Fl_Widget*, void* self) { static_cast<MessageBoxWindow*>(self)->closed = true; },
            this);
    }
    int handle(int event) override {
        if (event == FL_KEYBOARD || event == FL_SHORTCUT) {
            const int key = Fl::event_key();
            if (key == FL_Enter || key == FL_KP_Enter || key == ' ' || key == FL_Escape) {
                closed = true;
                return 1;
            }
        }
        return Fl_Double_Window::handle(event);
    }
    bool closed = false;
};

}  // namespace

int RunMessageBox(const std::string& text, const std::string& caption, UINT type,
                  const DialogFont& font) {
    const bool withIcon = (type & kIconMask) == MB_ICONEXCLAMATION;
    font.Select();
    int textW = kMaxTextWidth, textH = 0;  // a longer text wraps at this width
    fl_measure(text.c_str(), textW, textH, 0);
    const int stripH = CaptionStrip::HeightFor(font);
    const int buttonW = font.base.x * 10, buttonH = font.Y(14);
    const int textX = kMargin + (withIcon ? kIconSize + kMargin : 0);
    const int bodyH = std::max(textH, withIcon ? kIconSize : 0);
    const int width = std::max(textX + textW + kMargin, buttonW + 2 * kMargin);
    const int height = stripH + kMargin + bodyH + kMargin + buttonH + kMargin;

    MessageBoxWindow box(width, height);
    box.border(0);  // the caption strip is the box's one caption, also under a window manager
    box.color(kFaceColour);
    box.copy_label(caption.c_str());
    auto* strip = new CaptionStrip(0, 0, width, font, nullptr);
    strip->SetTitle(caption);
    if (withIcon) new ExclamationIcon(kMargin, stripH + kMargin);

    DialogControlTemplate textTemplate;
    textTemplate.className = u"STATIC";
    textTemplate.style = WS_VISIBLE | SS_LEFT;
    auto* label =
        new ControlWidget(textTemplate, font, textX, stripH + kMargin + (bodyH - textH) / 2,
                          textW + 2, textH, nullptr);
    label->SetText(text);

    DialogControlTemplate okTemplate;
    okTemplate.className = u"BUTTON";
    okTemplate.style = WS_VISIBLE | BS_PUSHBUTTON;
    auto* ok =
        new ControlWidget(okTemplate, font, (width - buttonW) / 2, height - kMargin - buttonH,
                          buttonW, buttonH, [&box] { box.closed = true; });
    ok->SetText("OK");
    ok->SetFocused(true);
    box.end();

    // Centred on the screen, above everything else, and the only window taking input.
    int sx, sy, sw, sh;
    Fl::screen_work_area(sx, sy, sw, sh, 0);
    box.position(sx + (sw - width) / 2, sy + (sh - height) / 2);
    Window hadKeyboard = 0;
    int revertTo = 0;
    XGetInputFocus(fl_display, &hadKeyboard, &revertTo);
    box.set_modal();
    box.show();
    while (!box.closed && box.shown()) Fl::wait();
    box.hide();
    // A window of ours that had the keyboard gets it back, as the platform activates the
    // window under a closed message box again: the dialog below can be used on at once.
    if (Fl_Window* previous = hadKeyboard ? fl_find(hadKeyboard) : nullptr) {
        TakeForeground(*previous);
    }
    Fl::flush();
    return IDOK;
}

}  // namespace win::fltk
