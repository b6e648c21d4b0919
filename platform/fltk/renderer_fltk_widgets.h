#pragma once
// The pieces the FLTK renderer draws windows with: the dialog font, the controls of a dialog
// template, the caption strip, and icons. Every widget draws its text literally (no FLTK
// symbols or shortcut marks) and decides nothing: a button reports its click to the function
// it was given, and its checked and focused looks are set from the dialog's model.

#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Group.H>
#include <FL/Fl_RGB_Image.H>
#include <FL/Fl_Widget.H>
#include <FL/Fl_Window.H>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/renderer_posix.h"

namespace win::fltk {

// The dialog font: a sans face at the template's point size (96 pixels to the inch, so 12
// points are 16 pixels). Dialog units map to pixels through the font's metrics as on the
// device: x = units * baseX / 4, y = units * baseY / 8, baseX being the average width of the
// 52 letters and baseY the font's height.
struct DialogFont {
    int face = 0;
    int size = 16;
    Renderer::BaseUnits base;

    static DialogFont ForPointSize(int points);
    void Select() const;
    // Rounded to the nearest pixel, as the dialog manager places the dialog.
    int X(int dialogUnits) const { return (dialogUnits * base.x + 2) / 4; }
    int Y(int dialogUnits) const { return (dialogUnits * base.y + 4) / 8; }
};

// Colours of the device's classic look.
inline constexpr Fl_Color kCaptionColour = 0x00008000;   // navy, as FLTK's 0xRRGGBB00
inline constexpr Fl_Color kFaceColour = 0xC0C0C000;      // button face and dialog background
inline constexpr Fl_Color kWindowColour = 0xFFFFFF00;    // edit and radio background
inline constexpr Fl_Color kGrayTextColour = 0x80808000;  // the text of a disabled control

// What a control looks like; chosen from the template's class and style.
enum class ControlKind { PushButton, RadioButton, GroupBox, Static, Edit };
ControlKind KindOf(const DialogControlTemplate& control);

// One control of a dialog template.
class ControlWidget : public Fl_Widget {
  public:
    ControlWidget(const DialogControlTemplate& control, const DialogFont& font, int x, int y, int w,
                  int h, std::function<void()> onClick);

    // Each setter redraws only when the look changes.
    void SetText(const std::string& utf8);
    void SetChecked(bool checked) { SetLook(checked_, checked); }
    void SetFocused(bool focused) { SetLook(focused_, focused); }
    // Held in from the keyboard: drawn pressed.
    void SetPushed(bool pushed) { SetLook(pushed_, pushed); }
    // A push button's default look: a dark outline.
    void SetDefault(bool isDefault) { SetLook(default_, isDefault); }

    void draw() override;
    int handle(int event) override;

  private:
    void SetLook(bool& look, bool value);  // redraws when the value is new
    void Invalidate();
    void DrawButton();
    void DrawRadio();
    void DrawGroupBox();
    void DrawEdit();
    void DrawFocus(int x, int y, int w, int h);

    ControlKind kind_;
    DWORD style_;
    DialogFont font_;
    std::function<void()> onClick_;
    std::string text_;
    bool checked_ = false, focused_ = false, pushed_ = false, default_ = false;
    bool pressed_ = false;  // held down by the mouse
};

// The device's title bar drawn inside the window: the small icon, the title, and (when the
// template asks for one) an "OK" button that reports its click to the function given.
class CaptionStrip : public Fl_Group {
  public:
    CaptionStrip(int x, int y, int w, const DialogFont& font, std::function<void()> onOk);
    static int HeightFor(const DialogFont& font);

    void SetTitle(const std::string& utf8);
    void SetIcon(const Fl_RGB_Image* icon);  // not owned; nullptr for none
    void draw() override;

  private:
    DialogFont font_;
    std::string title_;
    const Fl_RGB_Image* icon_ = nullptr;
};

// An icon image as 32-bit RGBA pixels (palette index 16 is transparent), with the FLTK image
// over them. The image refers to the pixels, so they travel together.
struct IconPixels {
    std::vector<unsigned char> rgba;
    std::unique_ptr<Fl_RGB_Image> image;
};
std::unique_ptr<IconPixels> ConvertIcon(const IconImage& icon);

// Raises a viewable window and gives it the keyboard, as the device does with a window it
// has just shown.
void TakeForeground(Fl_Window& window);

// A window that draws the device's frame over its outermost pixels, WindowFrameWidth() on each
// side, and takes the foreground when it is first drawn.
class FramedWindow : public Fl_Double_Window {
  public:
    using Fl_Double_Window::Fl_Double_Window;
    void draw() override;

  private:
    bool everDrawn_ = false;
};
int WindowFrameWidth();

// Draws text as it stands, clipped to the box, in the current font and colour.
void DrawLiteral(const std::string& utf8, int x, int y, int w, int h, int align);

}  // namespace win::fltk
