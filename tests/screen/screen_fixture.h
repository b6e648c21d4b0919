#pragma once
// What the screen tests share: the test program's device, its X server, and a watchdog for
// waits that would otherwise hang the test program.

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

#include "tests/screen/virtual_screen.h"
#include "tests/support/temp_device.h"

namespace nxtest {

// The temporary device the test program runs on (see screen_test_main.cpp).
const TempDevice& ScreenDevice();

// Skips the test when Xvfb or xdotool is missing, and fails it when the server will not start.
#define NX_REQUIRE_SCREEN()                                                 \
    do {                                                                    \
        if (!::nxtest::VirtualScreen::Available())                          \
            GTEST_SKIP() << "Xvfb or xdotool is not installed";             \
        ASSERT_NE(::nxtest::VirtualScreen::Shared(), nullptr) << "no Xvfb"; \
    } while (0)

// Ends the test program with a message when a blocking call has not returned in time, so a
// hang shows as a failure, not as the test runner's timeout.
class Watchdog {
  public:
    Watchdog(std::chrono::milliseconds limit, std::string what)
        : thread_([this, limit, what = std::move(what)] {
              std::unique_lock lock(mutex_);
              if (!done_cv_.wait_for(lock, limit, [this] { return done_; })) {
                  std::fprintf(stderr, "watchdog: %s did not return in time\n", what.c_str());
                  std::_Exit(3);
              }
          }) {}
    ~Watchdog() {
        {
            std::lock_guard lock(mutex_);
            done_ = true;
        }
        done_cv_.notify_all();
        thread_.join();
    }

  private:
    std::mutex mutex_;
    std::condition_variable done_cv_;
    bool done_ = false;
    std::thread thread_;
};

}  // namespace nxtest
