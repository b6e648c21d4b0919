#pragma once
// Windows only: the real Windows API, for the platform's *_win.cpp files and for the Windows
// programs that call it beyond the platform. Code that uses the platform's headers takes
// <windows.h> through this header only; it may then stand anywhere among them.
//
// <windows.h> defines as macros many names that the platform's headers declare (TRUE,
// WM_CLOSE, ERROR_*, LOWORD, ...). So every header that both platforms have comes first, here:
// whatever the including file's order, the platform's declarations are compiled before the
// macros exist, and a platform header included after this one is already in. The macros that
// stay have the platform's values; those that would rename the platform's own calls, or give
// INVALID_HANDLE_VALUE the real type, are undefined below. Inside namespace win the platform's
// types are the unqualified ones (HWND, MSG, HANDLE); the real ones are written with "::".

#include "platform/append_file.h"
#include "platform/device.h"
#include "platform/dialog.h"
#include "platform/fault.h"
#include "platform/file.h"
#include "platform/message.h"
#include "platform/message_box.h"
#include "platform/mutex.h"
#include "platform/process.h"
#include "platform/program.h"
#include "platform/screen.h"
#include "platform/section.h"
#include "platform/toolhelp.h"
#include "platform/unicode.h"
#include "platform/wait.h"
#include "platform/win_types.h"
#include "platform/window.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
// <windows.h> first: the others build on it.
// clang-format off
#include <windows.h>
#include <bcrypt.h>
#include <tlhelp32.h>
// clang-format on

// Macros that would rename the platform's functions and fault::Op's enumerators: the A/W
// switches and the function-like macros of the same names.
#undef CreateDialogIndirectW
#undef DialogBoxIndirectW
#undef GetDlgItemText
#undef CreateFile
#undef CreateMutex
#undef CreateProcess
#undef PostMessage
#undef Process32First
#undef Process32Next
// The platform's invalid handle has the real one's bits; a real handle is compared with it
// through detail::FromNativeHandle (internal/win_internal.h).
#undef INVALID_HANDLE_VALUE
