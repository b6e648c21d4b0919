#include "platform/fltk/renderer_fltk_widgets.h"

#include <FL/Fl.H>
#include <FL/fl_draw.H>
#include <FL/x.H>

#include <algorithm>
#include <cmath>

#include "platform/dialog.h"
#include "platform/unicode.h"

namespace win::fltk {

namespace {

constexpr DWORD kStaticAlignMask = 0x3;  // SS_LEFT, SS_CENTER or SS_RIGHT
constexpr DWORD kEditAlignMask = 0x3;    // ES_LEFT, ES_CENTER or ES_RIGHT
constexpr DWORD BS_RADIOBUTTON = 0x4;

// Text is black, or the platform's gray text colour on a disabled control.
Fl_Color TextColour(bool enabled) {
    return enabled ? FL_BLACK : kGrayTextColour;
}

constexpr Fl_Boxtype kWindowFrame = FL_UP_FRAME;

}  // namespace

DialogFont DialogFont::ForPointSize(int points) {
    DialogFont font;
    font.face = FL_HELVETICA;  // the sans face FLTK maps through fontconfig
    font.size = static_cast<int>(std::lround((points > 0 ? points : 12) * 96.0 / 72.0));
    font.Select();
    // The 52 letters' width gives the average character width, rounded as on the device.
    const double letters = fl_width("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    font.base.x = (static_cast<int>(std::lround(letters)) / 26 + 1) / 2;
    font.base.y = fl_height();
    return font;
}

void DialogFont::Select() const {
    fl_font(face, size);
}

void DrawLiteral(const std::string& utf8, int x, int y, int w, int h, int align) {
    fl_push_clip(x, y, w, h);
    fl_draw(utf8.c_str(), x, y, w, h, static_cast<Fl_Align>(align), nullptr, 0);
    fl_pop_clip();
}

void TakeForeground(Fl_Window& window) {
    if (!window.shown()) return;
    XRaiseWindow(fl_display, fl_xid(&window));
    XSetInputFocus(fl_display, fl_xid(&window), RevertToParent, CurrentTime);
}

void FramedWindow::draw() {
    Fl_Double_Window::draw();
    fl_draw_box(kWindowFrame, 0, 0, w(), h(), kFaceColour);
    if (!everDrawn_) {
        // The first drawing follows the first exposure, so the window is viewable now: bring
        // it to the front with the keyboard, as a newly shown window is on the device.
        everDrawn_ = true;
        TakeForeground(*this);
    }
}

int WindowFrameWidth() {
    return Fl::box_dx(kWindowFrame);
}

ControlKind KindOf(const DialogControlTemplate& control) {
    // Class names are matched without regard to letter case, as the dialog manager does.
    if (EqualsIgnoreCase(control.className, u"EDIT")) return ControlKind::Edit;
    if (EqualsIgnoreCase(control.className, u"STATIC")) return ControlKind::Static;
    switch (control.style & BS_TYPEMASK) {
        case BS_GROUPBOX:
            return ControlKind::GroupBox;
        case BS_AUTORADIOBUTTON:
        case BS_RADIOBUTTON:
            return ControlKind::RadioButton;
        default:
            return ControlKind::PushButton;
    }
}

ControlWidget::ControlWidget(const DialogControlTemplate& control, const DialogFont& font, int x,
                             int y, int w, int h, std::function<void()> onClick)
    : Fl_Widget(x, y, w, h),
      kind_(KindOf(control)),
      style_(control.style),
      font_(font),
      onClick_(std::move(onClick)) {
    clear_visible_focus();  // keys go to the window, which posts them to the dialog
    if (!(style_ & WS_VISIBLE)) hide();
    if (style_ & WS_DISABLED) deactivate();
}

void ControlWidget::SetText(const std::string& utf8) {
    if (utf8 == text_) return;
    text_ = utf8;
    Invalidate();
}

void ControlWidget::SetLook(bool& look, bool value) {
    if (look == value) return;
    look = value;
    Invalidate();
}

void ControlWidget::Invalidate() {
    // A group box paints only its frame and title, so what lies under it must be drawn again
    // with it; every other control paints its whole rectangle itself.
    Fl_Window* w = window();
    if (kind_ == ControlKind::GroupBox && w)
        w->damage(FL_DAMAGE_ALL, x(), y(), this->w(), h());
    else
        redraw();
}

int ControlWidget::handle(int event) {
    const bool clickable = kind_ == ControlKind::PushButton || kind_ == ControlKind::RadioButton;
    if (!clickable) return 0;
    switch (event) {
        case FL_PUSH:
            if (Fl::event_button() != FL_LEFT_MOUSE) return 0;
            pressed_ = true;
            redraw();
            return 1;
        case FL_DRAG: {
            const bool inside = Fl::event_inside(this) != 0;
            if (inside != pressed_) {
                pressed_ = inside;
                redraw();
            }
            return 1;
        }
        case FL_RELEASE: {
            const bool click = pressed_ && Fl::event_inside(this);
            pressed_ = false;
            redraw();
            if (click && onClick_) onClick_();
            return 1;
        }
        default:
            return 0;
    }
}

void ControlWidget::draw() {
    font_.Select();
    switch (kind_) {
        case ControlKind::PushButton:
            DrawButton();
            break;
        case ControlKind::RadioButton:
            DrawRadio();
            break;
        case ControlKind::GroupBox:
            DrawGroupBox();
            break;
        case ControlKind::Edit:
            DrawEdit();
            break;
        case ControlKind::Static: {
            // A static control paints its whole rectangle, so a new text never lands on the
            // old one.
            fl_color(kFaceColour);
            fl_rectf(x(), y(), w(), h());
            fl_color(TextColour(active_r() != 0));
            const DWORD a = style_ & kStaticAlignMask;
            int align = FL_ALIGN_TOP | FL_ALIGN_INSIDE;
            if (a == SS_RIGHT) align |= FL_ALIGN_RIGHT;
            if (a == SS_LEFT) align |= FL_ALIGN_LEFT | FL_ALIGN_WRAP;
            DrawLiteral(text_, x(), y(), w(), h(), align);
            break;
        }
    }
}

void ControlWidget::DrawButton() {
    const bool down = pressed_ || pushed_;
    // The default push button has a dark outline around its usual edges.
    const int outline = default_ ? 1 : 0;
    if (default_) {
        fl_color(FL_BLACK);
        fl_rect(x(), y(), w(), h());
    }
    fl_draw_box(down ? FL_DOWN_BOX : FL_UP_BOX, x() + outline, y() + outline, w() - 2 * outline,
                h() - 2 * outline, kFaceColour);
    const int shift = down ? 1 : 0;
    fl_color(TextColour(active_r() != 0));
    DrawLiteral(text_, x() + shift, y() + shift, w(), h(), FL_ALIGN_CENTER | FL_ALIGN_INSIDE);
    if (focused_) DrawFocus(x() + 4, y() + 4, w() - 8, h() - 8);
}

void ControlWidget::DrawRadio() {
    const int d = font_.size * 3 / 4;
    const int cy = y() + (h() - d) / 2;
    fl_color(kFaceColour);
    fl_rectf(x(), y(), w(), h());
    fl_draw_box(FL_ROUND_DOWN_BOX, x(), cy, d, d,
                pressed_ || pushed_ ? kFaceColour : kWindowColour);
    if (checked_) {
        fl_color(FL_BLACK);
        const int dot = d / 2 - 1;
        fl_pie(x() + (d - dot) / 2, cy + (d - dot) / 2, dot, dot, 0, 360);
    }
    fl_color(TextColour(active_r() != 0));
    const int textX = x() + d + 4;
    DrawLiteral(text_, textX, y(), w() - (textX - x()), h(), FL_ALIGN_LEFT | FL_ALIGN_INSIDE);
    if (focused_) {
        const int tw = static_cast<int>(fl_width(text_.c_str()));
        DrawFocus(textX - 1, y(), tw + 3, h());
    }
}

void ControlWidget::DrawGroupBox() {
    // The frame starts half a line down and the title interrupts its top edge. Only the frame
    // and the title's backing are painted, so the controls inside stay visible whatever order
    // they are drawn in.
    const int top = y() + fl_height() / 2;
    fl_draw_box(FL_ENGRAVED_FRAME, x(), top, w(), h() - (top - y()), kFaceColour);
    if (text_.empty()) return;
    const int indent = font_.base.x;
    const int tw = std::min(static_cast<int>(fl_width(text_.c_str())) + 4, w() - 2 * indent);
    fl_color(kFaceColour);
    fl_rectf(x() + indent, y(), tw, fl_height());
    fl_color(FL_BLACK);
    DrawLiteral(text_, x() + indent + 2, y(), tw - 2, fl_height(),
                FL_ALIGN_LEFT | FL_ALIGN_TOP | FL_ALIGN_INSIDE);
}

void ControlWidget::DrawEdit() {
    // A disabled edit only shows its value: the read-only look, face colour behind the
    // disabled text colour.
    const bool readOnly = (style_ & WS_DISABLED) != 0;
    const Fl_Color back = readOnly ? kFaceColour : kWindowColour;
    fl_draw_box(style_ & WS_BORDER ? FL_THIN_DOWN_BOX : FL_FLAT_BOX, x(), y(), w(), h(), back);
    const DWORD a = style_ & kEditAlignMask;
    const int across = a == ES_CENTER ? FL_ALIGN_CENTER : a == 0x2 ? FL_ALIGN_RIGHT : FL_ALIGN_LEFT;
    fl_color(TextColour(active_r() != 0));
    DrawLiteral(text_, x() + 3, y() + 3, w() - 6, h() - 5, FL_ALIGN_TOP | FL_ALIGN_INSIDE | across);
}

void ControlWidget::DrawFocus(int fx, int fy, int fw, int fh) {
    if (fw <= 0 || fh <= 0) return;
    fl_color(FL_BLACK);
    fl_line_style(FL_DOT);
    fl_rect(fx, fy, fw, fh);
    fl_line_style(0);
}

CaptionStrip::CaptionStrip(int x, int y, int w, const DialogFont& font, std::function<void()> onOk)
    : Fl_Group(x, y, w, HeightFor(font)), font_(font) {
    if (onOk) {
        DialogControlTemplate ok;
        ok.className = u"BUTTON";
        ok.style = WS_VISIBLE | BS_PUSHBUTTON;
        const int bh = h() - 6;
        const int bw = font.base.x * 5;
        auto* button = new ControlWidget(ok, font, x + w - bw - 4, y + 3, bw, bh, std::move(onOk));
        button->SetText("OK");
    }
    end();
}

int CaptionStrip::HeightFor(const DialogFont& font) {
    font.Select();
    return fl_height() + 8;
}

void CaptionStrip::SetTitle(const std::string& utf8) {
    if (utf8 == title_) return;
    title_ = utf8;
    redraw();
}

void CaptionStrip::SetIcon(const Fl_RGB_Image* icon) {
    if (icon == icon_) return;
    icon_ = icon;
    redraw();
}

void CaptionStrip::draw() {
    fl_color(kCaptionColour);
    fl_rectf(x(), y(), w(), h());
    int textX = x() + 6;
    if (icon_) {
        const_cast<Fl_RGB_Image*>(icon_)->draw(textX, y() + (h() - icon_->h()) / 2);
        textX += icon_->w() + 6;
    }
    int right = x() + w() - 4;
    if (children() > 0) right = child(0)->x() - 4;
    fl_font(font_.face | FL_BOLD, font_.size);
    fl_color(FL_WHITE);
    DrawLiteral(title_, textX, y(), right - textX, h(), FL_ALIGN_LEFT | FL_ALIGN_INSIDE);
    draw_children();
}

std::unique_ptr<IconPixels> ConvertIcon(const IconImage& icon) {
    if (icon.width <= 0 || icon.height <= 0) return nullptr;
    const auto count = static_cast<std::size_t>(icon.width) * static_cast<std::size_t>(icon.height);
    if (icon.pixels.size() != count) return nullptr;
    auto out = std::make_unique<IconPixels>();
    out->rgba.resize(count * 4);
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t index = icon.pixels[i];
        unsigned char* p = &out->rgba[i * 4];
        if (index >= 16) continue;  // transparent: index 16 (and anything out of the palette)
        const std::uint32_t rgb = icon.palette[index];
        p[0] = static_cast<unsigned char>(rgb >> 16);
        p[1] = static_cast<unsigned char>(rgb >> 8);
        p[2] = static_cast<unsigned char>(rgb);
        p[3] = 0xFF;
    }
    out->image = std::make_unique<Fl_RGB_Image>(out->rgba.data(), icon.width, icon.height, 4);
    return out;
}

}  // namespace win::fltk
