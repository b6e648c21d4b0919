#pragma once
// The FLTK message box: a modal window with the caption, an exclamation icon when the type
// asks for one, the text and one "OK" button, brought to the front.

#include <string>

#include "platform/fltk/renderer_fltk_widgets.h"

namespace win::fltk {

// Shows the box and returns when the user has closed it (OK clicked; Enter, Space or Esc;
// the window manager's close), with IDOK, the only button there is.
int RunMessageBox(const std::string& text, const std::string& caption, UINT type,
                  const DialogFont& font);

}  // namespace win::fltk
