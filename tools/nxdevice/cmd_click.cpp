#include <charconv>
#include <optional>
#include <string>
#include <vector>

#include "platform/message.h"
#include "platform/unicode.h"
#include "platform/window.h"
#include "platform/window_table_posix.h"
#include "tools/nxdevice/commands.h"

namespace nxdevice {
namespace {

// A control id: 0 to 65535 in decimal or 0x-hex, or -1 for 0xFFFF (a control without an id).
std::optional<win::WORD> ParseControlId(std::string_view text) {
    if (text == "-1") return win::WORD{0xFFFF};
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    unsigned value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size() || value > 0xFFFF)
        return std::nullopt;
    return static_cast<win::WORD>(value);
}

}  // namespace

// Clicks a control of the device's dialog as a user's click would: BM_CLICK with the control's
// id is posted to the dialog's window, whose default processing clicks it (a hidden button
// too). The dialog is the one top-level window of the device, or the one with the title.
int CmdClick(const Args& args) {
    std::optional<std::string> title;
    std::vector<std::string> rest;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--title") {
            if (i + 1 >= args.size()) return UsageError("click", "--title needs a TEXT");
            title = args[++i];
        } else {
            rest.push_back(args[i]);
        }
    }
    if (rest.size() != 1) return UsageError("click", "needs one control ID");
    std::optional<win::WORD> id = ParseControlId(rest[0]);
    if (!id) return UsageError("click", "ID '" + rest[0] + "' is not a control id (0 to 65535)");

    std::vector<win::TopLevelWindow> candidates;
    for (const win::TopLevelWindow& w : win::ListTopLevelWindows()) {
        if (!title || w.title == win::Utf8ToUtf16(*title)) candidates.push_back(w);
    }
    if (candidates.empty()) {
        return CommandError("click", title ? "no top-level window is titled '" + *title + "'"
                                           : std::string("the device has no top-level window"));
    }
    if (candidates.size() > 1) {
        return CommandError("click", std::to_string(candidates.size()) +
                                         " top-level windows could take the click; choose one "
                                         "with --title (see nxdevice windows)");
    }
    if (!win::PostMessageW(candidates.front().hwnd, win::BM_CLICK, *id, 0))
        return CommandError("click", "the window's queue did not take the click");
    return 0;
}

}  // namespace nxdevice
