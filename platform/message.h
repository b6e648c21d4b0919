#pragma once
// Registered messages and the per-thread message queues of the device.

#include "platform/win_types.h"

namespace win {

// A queued message: four fixed 32-bit fields, 16 bytes on the wire.
struct MSG {
    HWND hwnd = 0;  // 0 for a thread message
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
};
static_assert(sizeof(MSG) == 16);

inline constexpr UINT WM_NULL = 0x0000;
inline constexpr UINT WM_QUIT = 0x0012;

// Registers a message name device-wide: an id from 0xC000 to 0xFFFF, the same in every process
// of the device for the same name (compared without regard to letter case), even when many
// processes register at once. 0 on failure.
UINT RegisterWindowMessageW(std::u16string_view name);

// The name registered for an id, or empty when none.
std::u16string GetRegisteredMessageName(UINT id);

// Posts a thread message (hwnd 0). Never blocks: FALSE when the thread has no queue or is gone
// (ERROR_INVALID_THREAD_ID), or its queue is full (ERROR_NOT_ENOUGH_QUOTA).
BOOL PostThreadMessageW(DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam);

// Posts a message to the queue of the thread that owns the top-level window. HWND_BROADCAST
// posts to every top-level window of the device, each copy bearing that window's handle;
// TRUE when at least one post went through. Entries of dead owners are swept on the way.
BOOL PostMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The calling thread's queue is created on first use by either call below; a queue holds at
// least 4000 messages. Messages arrive in the order they were posted by one sender.

// Removes the next message, waiting for one without a limit. FALSE on failure. WM_QUIT is
// returned like any other message (TRUE); the caller ends its loop on it.
BOOL GetMessageW(MSG* msg);

// Takes the next message without waiting. FALSE when the queue is empty.
BOOL PeekMessageW(MSG* msg);

}  // namespace win
