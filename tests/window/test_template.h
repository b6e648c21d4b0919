#pragma once
// A synthetic dialog template for the window tests, on both platforms.

#include <vector>

#include "platform/dialog.h"

namespace nxtest {

// Control ids of the synthetic template, in template order:
//   201 radio (group start), 202 radio, 301 push button, 203 radio,
//   401 disabled edit, 402 hidden push button, 501 hidden radio,
//   static (group start, no id), 204 radio, 302 push button, 403 edit (read-only: it shows
//   values, as the measurement dialog's edits do).
// The first group holds 201, 202, 203 and the hidden 501, with other controls between them.
enum TestControl : int {
    kRadioA = 201,
    kRadioB = 202,
    kRadioC = 203,
    kRadioOther = 204,
    kPushFirst = 301,
    kPushLast = 302,
    kEditDisabled = 401,
    kPushHidden = 402,
    kEdit = 403,
    kRadioHidden = 501,
};

// Tab stops that are visible and enabled, in template order.
inline const std::vector<int> kReachableTabStops = {kRadioA,     kRadioB,   kPushFirst, kRadioC,
                                                    kRadioOther, kPushLast, kEdit};

// The template; with pushButtonFirst, push button 301 comes first, a group of its own, and
// has the first focus.
win::DialogTemplate MakeTestTemplate(bool pushButtonFirst = false);

}  // namespace nxtest
