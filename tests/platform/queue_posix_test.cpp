// Linux only: what our thread queues offer beyond the platform (a descriptor to poll, an end
// of their own) and the window table, between processes.
#include <gtest/gtest.h>
#include <poll.h>

#include <algorithm>
#include <set>
#include <thread>

#include "platform/message.h"
#include "platform/message_posix.h"
#include "platform/process.h"
#include "platform/window_table_posix.h"
#include "tests/platform/contract.h"

namespace {

using namespace win;
using namespace nxtest;

TEST(ThreadQueue, DescriptorPollsReadableExactlyWhileAMessageWaits) {
    int fd = GetQueueDescriptor();
    ASSERT_GE(fd, 0);
    pollfd pfd{fd, POLLIN, 0};
    EXPECT_EQ(poll(&pfd, 1, 0), 0);
    ASSERT_TRUE(PostThreadMessageW(GetCurrentThreadId(), WM_QUIT, 7, -1));
    EXPECT_EQ(poll(&pfd, 1, 0), 1);
    MSG m;
    ASSERT_TRUE(GetMessageW(&m));
    EXPECT_EQ(m.message, WM_QUIT);
    EXPECT_EQ(poll(&pfd, 1, 0), 0);
}

TEST(ThreadQueue, EndsWhenDestroyed) {
    GetQueueDescriptor();
    DestroyThreadQueue();
    EXPECT_FALSE(PostThreadMessageW(GetCurrentThreadId(), 5, 0, 0));
}

// A poster keeps the queue it last posted to open; a queue made again under the same thread id
// must still get the next post, and not the one that was destroyed.
TEST(ThreadQueue, APostReachesAQueueMadeAgainForTheSameThread) {
    const DWORD self = GetCurrentThreadId();
    ASSERT_GE(GetQueueDescriptor(), 0);
    ASSERT_TRUE(PostThreadMessageW(self, 11, 0, 0));
    DestroyThreadQueue();
    ASSERT_GE(GetQueueDescriptor(), 0);
    ASSERT_TRUE(PostThreadMessageW(self, 12, 0, 0));
    MSG m;
    ASSERT_TRUE(PeekMessageW(&m));
    EXPECT_EQ(m.message, 12u);
    EXPECT_FALSE(PeekMessageW(&m));
    DestroyThreadQueue();
}

TEST(WindowTable, BroadcastReachesEveryTopLevelWindowWithItsOwnHandle) {
    Peer first({"window", "First", "1"});
    Peer second({"window", "Second", "1"});
    const std::string a = first.Line(0), b = second.Line(0);
    ASSERT_FALSE(a.empty());
    ASSERT_FALSE(b.empty());
    HWND own = AddTopLevelWindow(u"Own");
    ASSERT_NE(own, 0u);

    std::set<HWND> listed;
    for (const auto& w : ListTopLevelWindows()) listed.insert(w.hwnd);
    const HWND hwndA = static_cast<HWND>(std::stoul(a)), hwndB = static_cast<HWND>(std::stoul(b));
    EXPECT_EQ(listed, (std::set<HWND>{hwndA, hwndB, own}));

    ASSERT_TRUE(PostMessageW(HWND_BROADCAST, 0xC042, 0, 0));
    EXPECT_EQ(first.Line(1), std::to_string(hwndA) + " 49218");
    EXPECT_EQ(second.Line(1), std::to_string(hwndB) + " 49218");
    MSG m;
    ASSERT_TRUE(GetMessageW(&m));
    EXPECT_EQ(m.hwnd, own);
    EXPECT_EQ(m.message, 0xC042u);
    RemoveTopLevelWindow(own);
}

TEST(WindowTable, WindowsOfDeadOwnersAreSweptAndHandlesNeverReused) {
    HWND gone = 0;
    {
        Peer owner({"window", "Doomed", "1"});
        const std::string line = owner.Line(0);
        ASSERT_FALSE(line.empty());
        gone = static_cast<HWND>(std::stoul(line));
    }
    SetLastError(0);
    EXPECT_FALSE(PostMessageW(gone, 1, 0, 0));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
    for (const auto& w : ListTopLevelWindows()) EXPECT_NE(w.hwnd, gone);

    HWND first = AddTopLevelWindow(u"A");
    RemoveTopLevelWindow(first);
    HWND second = AddTopLevelWindow(u"B");
    EXPECT_GT(first, gone);
    EXPECT_GT(second, first);
    EXPECT_NE(second, HWND_BROADCAST);
    EXPECT_TRUE(SetTopLevelWindowTitle(second, u"B2"));
    EXPECT_FALSE(SetTopLevelWindowTitle(first, u"A2"));
    auto windows = ListTopLevelWindows();
    ASSERT_EQ(windows.size(), 1u);
    EXPECT_EQ(windows[0].title, u"B2");
    EXPECT_EQ(windows[0].threadId, GetCurrentThreadId());
    RemoveTopLevelWindow(second);
}

}  // namespace
