#pragma once
// Internal to the platform layer: the one translation of errno values into the device's error
// codes, used by every service, so that a failure keeps its cause (a full disk stays a full
// disk, too many open files stays that) instead of becoming one code per service.

#include "platform/win_types.h"

namespace win::detail {

// The device's error code for an errno value; ERROR_GEN_FAILURE for one it has no name for.
DWORD ErrorFromErrno(int error);

// SetLastError(ErrorFromErrno(error)).
void SetLastErrorFromErrno(int error);

}  // namespace win::detail
