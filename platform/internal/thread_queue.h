#pragma once
// Internal to the platform layer: the per-thread message queues, shared by thread messages
// and window messages.

#include "platform/internal/system_posix.h"
#include "platform/message.h"

namespace win::detail {

// Creates the calling thread's queue when it has none yet.
sys::Status EnsureOwnQueue();

// Puts one message on a thread's queue without blocking. FALSE with ERROR_INVALID_THREAD_ID
// (no queue, or its thread is gone) or ERROR_NOT_ENOUGH_QUOTA (the queue is full).
BOOL PostToThread(DWORD threadId, const MSG& message);

}  // namespace win::detail
