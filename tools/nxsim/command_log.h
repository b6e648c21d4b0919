#pragma once
// The stand-in's log of the commands it received: one line "NAME WPARAM LPARAM" each.

#include <string>
#include <string_view>

#include "platform/win_types.h"

namespace nxsim {

class CommandLog {
  public:
    CommandLog() = default;
    ~CommandLog();
    CommandLog(const CommandLog&) = delete;
    CommandLog& operator=(const CommandLog&) = delete;

    // Opens the device file for appending, creating it when missing (its folder must exist).
    // The file is written through its host path with O_APPEND, so lines of earlier runs stay
    // and each line lands whole. An empty path means no log. False with errno on failure.
    bool Open(std::string_view devicePath);

    // Appends "NAME WPARAM LPARAM" (wParam unsigned, lParam signed, both decimal) in one write.
    // Does nothing when no log is open.
    void Append(std::string_view name, win::WPARAM wParam, win::LPARAM lParam);

  private:
    int fd_ = -1;
};

}  // namespace nxsim
