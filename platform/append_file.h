#pragma once
// Append-only device files, for the tools' logs: every Append lands whole at the end of the
// file, also when several processes append to it at once.

#include <cstdint>
#include <string>
#include <string_view>

namespace win {

class AppendFile {
  public:
    AppendFile() = default;
    ~AppendFile();
    AppendFile(const AppendFile&) = delete;
    AppendFile& operator=(const AppendFile&) = delete;

    // Opens the device file for appending, creating it when missing (its folder must exist);
    // what the file held stays. False on failure, with the reason in ErrorText.
    bool Open(std::u16string_view devicePath);

    // Appends the bytes in one write. False when the file is not open or the write fell
    // short (a full disk), with the reason in ErrorText.
    bool Append(std::string_view bytes);

    bool IsOpen() const { return handle_ != kClosed; }
    const std::string& ErrorText() const { return error_; }

  private:
    static constexpr std::intptr_t kClosed = -1;
    std::intptr_t handle_ = kClosed;  // a descriptor on Linux, a HANDLE's value on Windows
    std::string error_;
};

}  // namespace win
