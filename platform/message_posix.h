#pragma once
// Linux only: what our thread queues offer beyond the platform's messages.

#include "platform/message.h"

namespace win {

// A descriptor that polls readable while the calling thread's queue holds a message, for a GUI
// loop to wait on together with its own events (Windows waits on its queues with
// MsgWaitForMultipleObjects). Creates the queue like GetMessageW. -1 on failure.
int GetQueueDescriptor();

// Closes the calling thread's queue (posts to it fail from then on). A thread's queue also goes
// away with its process (on Windows, with its thread).
void DestroyThreadQueue();

}  // namespace win
