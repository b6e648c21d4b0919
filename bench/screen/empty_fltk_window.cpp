// The baseline of the screen benchmark: an empty FLTK window of the dialog's size with a
// title, shown until it is closed.
#include <FL/Fl.H>
#include <FL/Fl_Double_Window.H>

int main() {
    Fl_Double_Window window(393, 205, "Empty FLTK window");
    window.end();
    window.show();
    return Fl::run();
}
