#pragma once
// The one table of the differences between our imitation of the device (Linux) and the real
// platform (Windows, run under Wine) that are kept on purpose, each with its reason. A contract
// test reads its expectation here wherever the two differ, so that a difference not listed
// still fails on one of the platforms.

#include <string_view>

namespace nxtest {

struct KnownDifference {
    std::string_view what;  // and why it stays
    long long onLinux;
    long long onWindows;
};

// The value of a difference on the platform this test program was built for.
constexpr long long OnThisPlatform(const KnownDifference& difference) {
#ifdef _WIN32
    return difference.onWindows;
#else
    return difference.onLinux;
#endif
}

// Whether a named section or mutex lives on once its last handle is closed. Linux keeps it in
// the device's runtime folder for the device's life (a section keeps its bytes, a mutex its
// abandonment); Windows destroys it with its last handle. Counting handles across processes
// would cost the imitation a second mechanism, and the measurement program holds both objects
// for as long as it runs.
inline constexpr KnownDifference kObjectsOutliveTheirHandles{"objects outlive their handles", 1, 0};

// Whether a section opened again with a larger size grows (zero-filled). Linux grows its file;
// Windows keeps a section's first size. The device's programs agree on one size (120 bytes).
inline constexpr KnownDifference kSectionGrowsWhenOpenedLarger{"section grows", 1, 0};

// Whether a view must end with the section. Linux maps exactly the section's file; Windows (Wine)
// maps sections by whole pages, so a view may run past the end into the last page's rest.
inline constexpr KnownDifference kViewsEndWithTheSection{"views end with the section", 1, 0};

// Whether a writer killed before its close leaves its temporary file beside the target. Linux
// writes into an unnamed file, which dies with the writer; Windows has no unnamed files, so the
// named temporary stays until the next open of the same file sweeps it.
inline constexpr KnownDifference kKilledWriterLeavesATemporary{"killed writer's temporary", 0, 1};

// Whether a process walk comes in ascending process id, oldest first. Linux reads /proc in id
// order; Windows lists processes in an order of its own, and its ids are not given out in
// order. The system looks for one program by name and never depends on the order.
inline constexpr KnownDifference kWalkInIdOrder{"walk in ascending id order", 1, 0};

// Whether a thread's queue refuses posts once full (ERROR_NOT_ENOUGH_QUOTA). Ours and Windows's
// do (Windows at 10,000 messages); Wine's queues have no limit, so it is Wine's difference.
inline constexpr KnownDifference kQueuesHaveALimit{"queues have a limit", 1, 0};

// Whether a system message whose parameters are pointers (WM_SETTEXT) can be posted. Windows
// refuses (ERROR_MESSAGE_SYNC_ONLY), as its queue would carry the pointer to another process;
// ours carry four 32-bit values, no pointer, and the system posts none of these.
inline constexpr KnownDifference kPointerMessagesArePosted{"pointer messages posted", 1, 0};

// The error of a post to a thread that is gone or has no queue. Ours answers as Windows does,
// ERROR_INVALID_THREAD_ID (1444); Wine answers ERROR_INVALID_PARAMETER (87). The system only
// reports that a post failed.
inline constexpr KnownDifference kFailedPostError{"failed post's error", 1444, 87};

// Whether the push button drawn as the default one follows the focus. Ours draws the focused
// push button so, else the default id's, else none, however the focus came. The real dialog
// manager moves that look only when the keyboard moves the focus (WM_NEXTDLGCTL) or DM_SETDEFID
// names a push button: after a click it stays where it was (until Return, when the message
// filter of dialog_win.cpp gives it to the focused button and clicks that), a push button the
// keyboard left for a control that is none keeps it in a dialog without a default id, and
// DM_SETDEFID naming a control that is no push button leaves it. Ours shows what Return will
// click; Return does the same on both.
inline constexpr KnownDifference kDefaultLookFollowsTheFocus{"default look follows", 1, 0};

// Whether an auto-repeated Space pushes the focused button in. Ours pushes only on the key's
// first press; the real button takes every WM_KEYDOWN of Space. So on Windows a Space held
// while Tab moves the focus pushes the next button in, and the release clicks it: a button the
// user never pressed ("Annulla" ends the run without a file). The message filter of
// dialog_win.cpp could drop the repeats; the Windows build keeps the real button's way.
inline constexpr KnownDifference kRepeatedSpacePushes{"repeated Space pushes", 0, 1};

}  // namespace nxtest
