#pragma once
// The stand-in's log of the commands it received: one line "NAME WPARAM LPARAM" each.

#include <string>
#include <string_view>

#include "platform/append_file.h"
#include "platform/win_types.h"

namespace nxsim {

class CommandLog {
  public:
    // Opens the device file for appending, creating it when missing (its folder must exist):
    // lines of earlier runs stay and each line lands whole. An empty path means no log. False
    // on failure, with the reason in ErrorText.
    bool Open(std::string_view devicePath);
    const std::string& ErrorText() const { return file_.ErrorText(); }

    // Appends "NAME WPARAM LPARAM" (wParam unsigned, lParam signed, both decimal) in one write.
    // Does nothing when no log is open.
    void Append(std::string_view name, win::WPARAM wParam, win::LPARAM lParam);

  private:
    win::AppendFile file_;
};

}  // namespace nxsim
