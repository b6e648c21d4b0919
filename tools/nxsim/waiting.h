#pragma once
// What the stand-in waits on, and how it ends, on each platform (waiting_posix.cpp,
// waiting_win.cpp): its thread's command queue and a request to end, which is SIGTERM or SIGINT
// on Linux. On both, a WM_QUIT in the queue ends the stand-in too (MeasSimulator::Run).

#include <string>

namespace nxsim {

class Waiting {
  public:
    enum class Event { Message, Stop, Timeout, Failed };

    // Takes over the end requests from here on (Linux: blocks SIGTERM and SIGINT and reads them
    // from a descriptor, so that no signal handler runs); call before any other thread starts.
    // Failed() tells whether that worked.
    Waiting();
    ~Waiting();
    Waiting(const Waiting&) = delete;
    Waiting& operator=(const Waiting&) = delete;

    bool Failed() const;

    // Sleeps for the time; false when an end was asked for meanwhile. The thread has no command
    // queue yet, so commands posted meanwhile fail.
    bool Pause(int milliseconds);

    // Makes the calling thread's command queue: commands posted from now on are kept. False
    // after a line on standard error.
    bool CreateQueue();

    // Waits until the queue holds a message, an end is asked for, or the time (-1: no limit)
    // has passed. Failed after a line on standard error.
    Event Wait(int timeoutMs);

  private:
    int stopFd_ = -1;            // Linux: the end requests
    bool queueCreated_ = false;  // Linux: the queue to close at the end
};

// The host folder of the running executable: the copy that was started, wherever it was
// installed.
std::string OwnFolder();

// Ends the process at once, as a kill would: nothing is released in order, and a mutex it
// holds is left abandoned.
[[noreturn]] void EndAbruptly();

}  // namespace nxsim
