// Thread message queues between processes: order, WM_QUIT, limits and the end of a queue.
#include <gtest/gtest.h>

#include <thread>

#include "platform/message.h"
#include "platform/process.h"
#include "platform/window.h"
#include "tests/platform/contract.h"
#include "tests/platform/known_differences.h"

namespace {

using namespace win;
using namespace nxtest;

// Makes the calling thread's queue, as its first use does.
void MakeQueue() {
    MSG m;
    PeekMessageW(&m);
}

TEST(ThreadQueue, MessagesFromAnotherProcessArriveWholeAndInOrder) {
    MakeQueue();
    const std::string self = std::to_string(GetCurrentThreadId());
    EXPECT_EQ(RunPeer({"post", self, "1234", "500"}), "500 0\n");
    for (WPARAM i = 0; i < 500; ++i) {
        MSG m;
        ASSERT_TRUE(GetMessageW(&m));
        EXPECT_EQ(m.hwnd, 0u);
        EXPECT_EQ(m.message, 1234u);
        ASSERT_EQ(m.wParam, i);
    }
    MSG m;
    EXPECT_FALSE(PeekMessageW(&m));
}

TEST(ThreadQueue, QuitIsDeliveredLikeAnyMessage) {
    MakeQueue();
    ASSERT_TRUE(PostThreadMessageW(GetCurrentThreadId(), WM_QUIT, 7, -1));
    MSG m;
    ASSERT_TRUE(GetMessageW(&m));
    EXPECT_EQ(m.message, WM_QUIT);
    EXPECT_EQ(m.wParam, 7u);
    EXPECT_EQ(m.lParam, -1);
}

// A system message whose parameters are pointers cannot be posted: see
// kPointerMessagesArePosted.
TEST(ThreadQueue, ASystemMessageWithPointersIsPostedOnlyByOurQueues) {
    MakeQueue();
    const BOOL posted = PostThreadMessageW(GetCurrentThreadId(), WM_SETTEXT, 0, 0);
    EXPECT_EQ(posted, OnThisPlatform(kPointerMessagesArePosted));
    if (!posted) {
        EXPECT_EQ(GetLastError(), 1159u);  // ERROR_MESSAGE_SYNC_ONLY
    }
}

// The limit: see kQueuesHaveALimit.
TEST(ThreadQueue, AFullQueueRefusesPostsWithoutBlockingAndHoldsThousands) {
    Peer reader({"queue", "0", "hold"});
    const std::string tid = reader.Line(0);
    ASSERT_FALSE(tid.empty());
    const auto thread = static_cast<DWORD>(std::stoul(tid));
    int accepted = 0;
    while (accepted < 100000 && PostThreadMessageW(thread, 0xC123, 0, 0)) ++accepted;
    EXPECT_GE(accepted, 4000);
    if (OnThisPlatform(kQueuesHaveALimit)) {
        EXPECT_EQ(GetLastError(), ERROR_NOT_ENOUGH_QUOTA);
        EXPECT_LT(accepted, 100000);
    } else {
        EXPECT_EQ(accepted, 100000);
    }
}

// The error: see kFailedPostError.
TEST(ThreadQueue, PostsToAGoneOrQueuelessThreadFail) {
    Peer reader({"queue", "1"});
    const std::string tid = reader.Line(0);
    ASSERT_FALSE(tid.empty());
    const auto thread = static_cast<DWORD>(std::stoul(tid));
    ASSERT_TRUE(PostThreadMessageW(thread, WM_USER, 2, 3));
    EXPECT_EQ(reader.Line(1), "0 1024 2 3");
    ASSERT_EQ(reader.Wait(), 0);
    struct Case {
        const char* what;
        DWORD thread;
    };
    DWORD queueless = 0;
    std::thread([&] { queueless = GetCurrentThreadId(); }).join();
    for (const Case& c : {Case{"ended process", thread}, Case{"thread without queue", queueless},
                          Case{"no such thread", 0x7FFFFFF0}}) {
        SetLastError(0);
        EXPECT_FALSE(PostThreadMessageW(c.thread, WM_USER, 0, 0)) << c.what;
        EXPECT_EQ(GetLastError(), OnThisPlatform(kFailedPostError)) << c.what;
    }
}

TEST(ThreadQueue, EndsWithItsThread) {
    DWORD tid = 0;
    std::thread([&] {
        tid = GetCurrentThreadId();
        MakeQueue();
        EXPECT_TRUE(PostThreadMessageW(tid, 5, 0, 0));
    }).join();
    EXPECT_FALSE(PostThreadMessageW(tid, 5, 0, 0));
}

}  // namespace
