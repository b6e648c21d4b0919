// The application object, the framework's main routine and the application message box.
#include "framework/win_app.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/message.h"
#include "platform/message_box.h"
#include "platform/process.h"
#include "platform/renderer_posix.h"

namespace {

TEST(AppNameTest, IsTheProgramFileNameWithoutFolderAndExtension) {
    struct Case {
        std::u16string path, name;
    } cases[] = {
        {u"/usr/local/bin/nxbridge", u"nxbridge"},
        {u"nxbridge", u"nxbridge"},
        {u"./build/nxbridge.exe", u"nxbridge"},
        {u"\\Windows\\NXBRIDGE.EXE", u"NXBRIDGE"},
        {u"/opt/my.tools/bridge", u"bridge"},   // a dot in a folder is no extension
        {u"/opt/bridge.v2.exe", u"bridge.v2"},  // only the last extension goes
        {u"/opt/.hidden", u".hidden"},
        {u"", u""},
    };
    for (const Case& c : cases) EXPECT_TRUE(AppNameFromProgramPath(c.path) == c.name);
}

// Records the order in which the framework calls the hooks.
class RecordingApp : public CWinApp {
  public:
    explicit RecordingApp(bool startResult, const char16_t* name = nullptr)
        : CWinApp(name), startResult_(startResult) {}
    win::BOOL InitInstance() override {
        calls.push_back("init:" + std::string(m_lpCmdLine, m_lpCmdLine + 3));
        return startResult_;
    }
    int ExitInstance() override {
        calls.push_back("exit");
        return CWinApp::ExitInstance() + exitOffset;
    }
    std::vector<std::string> calls;
    int exitOffset = 0;

  private:
    bool startResult_;
};

TEST(WinAppTest, RegistersItselfWhileItLives) {
    EXPECT_EQ(AfxGetApp(), nullptr);
    {
        RecordingApp app(false);
        EXPECT_EQ(AfxGetApp(), &app);
    }
    EXPECT_EQ(AfxGetApp(), nullptr);
    EXPECT_EQ(AfxWinMain(u"x", u""), -1);
}

TEST(WinAppTest, FalseFromStartUpHookCallsExitHookAndReturnsItsResult) {
    RecordingApp app(false);
    app.exitOffset = 42;
    EXPECT_EQ(AfxWinMain(u"/bin/nxbridge", u"-Gha0 \\FlashDisk\\"), 42);
    EXPECT_EQ(app.calls, (std::vector<std::string>{"init:-Gh", "exit"}));
    EXPECT_TRUE(std::u16string_view(app.m_lpCmdLine) == u"-Gha0 \\FlashDisk\\");
    EXPECT_TRUE(std::u16string_view(app.m_pszAppName) == u"nxbridge");
}

TEST(WinAppTest, NameGivenAtConstructionIsKept) {
    RecordingApp app(false, u"Survey");
    AfxWinMain(u"/bin/nxbridge", u"abc");
    EXPECT_TRUE(std::u16string_view(app.m_pszAppName) == u"Survey");
}

TEST(WinAppTest, TrueFromStartUpHookRunsTheLoopUntilQuitAndExitsWithItsCode) {
    RecordingApp app(true);
    win::MSG left;
    win::PeekMessageW(&left);  // the thread's queue exists from its first use
    // Queued before the loop starts: an ordinary thread message, then the quit with code 3.
    ASSERT_TRUE(win::PostThreadMessageW(win::GetCurrentThreadId(), 0xC123, 1, 2));
    ASSERT_TRUE(win::PostThreadMessageW(win::GetCurrentThreadId(), win::WM_QUIT, 3, 0));
    EXPECT_EQ(AfxWinMain(u"nxbridge", u"xyz"), 3);
    EXPECT_EQ(app.calls, (std::vector<std::string>{"init:xyz", "exit"}));
    EXPECT_FALSE(win::PeekMessageW(&left));
}

struct Shown {
    std::u16string text, caption;
    win::UINT type;
};

class MessageBoxTest : public testing::Test {
  protected:
    void SetUp() override {
        win::SetRenderer(win::MakeHeadlessRenderer());
        win::SetMessageBoxObserver(
            [this](std::u16string_view text, std::u16string_view caption, win::UINT type) {
                shown.push_back({std::u16string(text), std::u16string(caption), type});
            });
    }
    void TearDown() override { win::SetMessageBoxObserver(nullptr); }
    std::vector<Shown> shown;
};

TEST_F(MessageBoxTest, AppBoxIsCaptionedWithTheAppNameAndComesToTheFront) {
    RecordingApp app(false);
    AfxWinMain(u"/x/nxbridge.bin", u"");
    constexpr win::UINT kIconHand = 0x10, kYesNo = 0x04;
    struct Case {
        win::UINT asked, shownType;
    } cases[] = {
        {win::MB_OK, win::MB_OK | win::MB_ICONEXCLAMATION | win::MB_SETFOREGROUND},
        {win::MB_OK | kIconHand, win::MB_OK | kIconHand | win::MB_SETFOREGROUND},
        {kYesNo, kYesNo | win::MB_SETFOREGROUND},
    };
    for (const Case& c : cases) {
        shown.clear();
        EXPECT_EQ(AfxMessageBox(u"Fail to map data!", c.asked), win::IDOK);
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_TRUE(shown[0].text == u"Fail to map data!");
        EXPECT_TRUE(shown[0].caption == u"nxbridge");
        EXPECT_EQ(shown[0].type, c.shownType);
    }
}

TEST_F(MessageBoxTest, HeadlessBoxIsOneLineOnStandardErrorAndAnswersOk) {
    testing::internal::CaptureStderr();
    int answer = win::MessageBoxW(0, u"Fail to create Mutex! \u00E9\U0001F600", u"nxbridge",
                                  win::MB_OK | win::MB_ICONEXCLAMATION);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(answer, win::IDOK);
    EXPECT_EQ(err, "nxbridge: Fail to create Mutex! \xC3\xA9\xF0\x9F\x98\x80\n");
    EXPECT_EQ(shown.size(), 1u);
}

}  // namespace
