// The baseline of the screen benchmark: an empty FLTK window of the dialog's size with a
// title, shown until it is closed. It opens the display as the window renderer does (without
// FLTK's own locale and input-method set-up, which costs some 30 ms and 0.7 MB here).
#include <FL/Fl.H>
#include <FL/Fl_Double_Window.H>
#include <FL/x.H>

int main() {
    Display* display = XOpenDisplay(nullptr);
    if (!display) return 1;
    fl_open_display(display);
    Fl_Double_Window window(393, 205, "Empty FLTK window");
    window.end();
    window.show();
    return Fl::run();
}
