#include <charconv>
#include <cstdint>
#include <cstdio>
#include <optional>

#include "platform/message.h"
#include "platform/unicode.h"
#include "tools/nxdevice/commands.h"

namespace nxdevice {
namespace {

// A 32-bit value written in decimal (optionally negative) or as 0x-hex; nothing when the text
// is not such a number or does not fit in [min, max].
std::optional<std::int64_t> ParseNumber(std::string_view text, std::int64_t min, std::int64_t max) {
    int base = 10;
    bool negative = !text.empty() && text.front() == '-';
    if (negative) text.remove_prefix(1);
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    std::uint64_t magnitude = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), magnitude, base);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size() ||
        magnitude > 0xFFFFFFFFu)
        return std::nullopt;
    std::int64_t value =
        negative ? -static_cast<std::int64_t>(magnitude) : static_cast<std::int64_t>(magnitude);
    if (value < min || value > max) return std::nullopt;
    return value;
}

}  // namespace

int CmdPost(const Args& args) {
    if (args.empty() || args.size() > 3) return UsageError("post", "needs NAME [WPARAM [LPARAM]]");
    if (args[0].empty()) return UsageError("post", "the message NAME is empty");
    std::optional<std::int64_t> wParam = 0, lParam = 0;
    if (args.size() > 1) wParam = ParseNumber(args[1], 0, 0xFFFFFFFF);
    if (!wParam)
        return UsageError("post", "WPARAM '" + args[1] + "' is not a 32-bit unsigned number");
    // A hex LPARAM may give all 32 bits (0xFFFFFFFF is -1).
    if (args.size() > 2) lParam = ParseNumber(args[2], INT32_MIN, 0xFFFFFFFF);
    if (!lParam) return UsageError("post", "LPARAM '" + args[2] + "' is not a 32-bit number");

    win::UINT message = win::RegisterWindowMessageW(win::Utf8ToUtf16(args[0]));
    if (message == 0) return CommandError("post", "cannot register the message " + args[0]);
    if (!win::PostMessageW(win::HWND_BROADCAST, message, static_cast<win::WPARAM>(*wParam),
                           static_cast<win::LPARAM>(static_cast<std::uint32_t>(*lParam))))
        return CommandError("post", "no top-level window took " + args[0]);
    return 0;
}

}  // namespace nxdevice
