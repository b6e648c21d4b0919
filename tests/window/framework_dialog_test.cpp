// The framework's dialog: modal runs and their results, the procedure chain, the message map,
// data exchange, centring and the main window.
#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "framework/data_exchange.h"
#include "framework/dialog.h"
#include "framework/win_app.h"
#include "platform/dialog.h"
#include "platform/message.h"
#include "platform/window_table_posix.h"
#include "tests/window/test_dialog.h"

namespace {

using namespace win;

constexpr UINT kTestTemplateId = 9102;

class TestDlg : public CDialog {
  public:
    TestDlg() : CDialog(kTestTemplateId) {}

    CString m_strEdit = u"from member";
    std::int32_t m_nRadio = 1;
    std::vector<UINT> seen;  // every message the override saw, in order
    int destroyCalls = 0;
    bool visibleAtDestroy = true;
    bool windowAtDestroy = false;
    int firstClicks = 0;

    void DoDataExchange(CDataExchange* exchange) override {
        DDX_Text(exchange, nxtest::kEdit, m_strEdit);
        DDX_Radio(exchange, nxtest::kRadioA, m_nRadio);
    }
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        seen.push_back(message);
        return CDialog::WindowProc(message, wParam, lParam);
    }
    BOOL DestroyWindow() override {
        ++destroyCalls;
        visibleAtDestroy = IsWindowVisible(m_hWnd) != 0;
        windowAtDestroy = IsWindow(m_hWnd) != 0;
        return CDialog::DestroyWindow();
    }
    bool OnCommand(WORD notification, WORD controlId) override {
        return DispatchCommandMap(*this, kMap, notification, controlId) ||
               CDialog::OnCommand(notification, controlId);
    }
    void OnFirst() { ++firstClicks; }

    static const std::array<CommandMapEntry<TestDlg>, 1> kMap;
};

const std::array<CommandMapEntry<TestDlg>, 1> TestDlg::kMap = {{
    {BN_CLICKED, nxtest::kPushFirst, &TestDlg::OnFirst},
}};

class FrameworkDialogTest : public testing::Test {
  protected:
    void SetUp() override {
        static const DialogTemplate kTemplate = nxtest::MakeTestTemplate();
        RegisterDialogResource(kTestTemplateId, &kTemplate);
        renderer_ = &nxtest::InstallRecordingRenderer();
        nxtest::DrainQueue();
    }
    void TearDown() override { nxtest::DrainQueue(); }
    // Input for the modal loop, posted once the window exists (while the loop waits).
    void Then(TestDlg& dlg, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
        renderer_->script.push_back(
            [&dlg, message, wParam, lParam] { PostMessageW(dlg.m_hWnd, message, wParam, lParam); });
    }
    nxtest::RecordingRenderer* renderer_ = nullptr;
};

TEST_F(FrameworkDialogTest, ClosingPathsGiveTheirResults) {
    struct Case {
        const char* name;
        UINT message;
        WPARAM wParam;
        int result;
        bool readBack;  // the members took the controls' values
    };
    const std::vector<Case> cases = {
        {"title-bar OK", WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), IDOK, true},
        {"cancel command", WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), IDCANCEL, false},
        {"close", WM_CLOSE, 0, IDCANCEL, false},
        {"Enter", WM_KEYDOWN, VK_RETURN, IDOK, true},
        {"Esc", WM_KEYDOWN, VK_ESCAPE, IDCANCEL, false},
    };
    for (const Case& c : cases) {
        TestDlg dlg;
        renderer_->script.clear();
        renderer_->script.push_back([&dlg] {
            SetDlgItemTextW(dlg.m_hWnd, nxtest::kEdit, u"typed");
            CheckDlgButton(dlg.m_hWnd, nxtest::kRadioB, BST_UNCHECKED);
            CheckDlgButton(dlg.m_hWnd, nxtest::kRadioC, BST_CHECKED);
        });
        Then(dlg, c.message, c.wParam);
        EXPECT_EQ(dlg.DoModal(), c.result) << c.name;
        EXPECT_EQ(dlg.m_strEdit == u"typed", c.readBack) << c.name;
        EXPECT_EQ(dlg.m_nRadio, c.readBack ? 2 : 1) << c.name;
        // The framework destroys the window once, after hiding it: the override's work comes
        // while the window still exists.
        EXPECT_EQ(dlg.destroyCalls, 1) << c.name;
        EXPECT_FALSE(dlg.visibleAtDestroy) << c.name;
        EXPECT_TRUE(dlg.windowAtDestroy) << c.name;
        EXPECT_EQ(dlg.m_hWnd, 0u) << c.name;
    }
}

TEST_F(FrameworkDialogTest, InitialisationPushesMembersToControls) {
    TestDlg dlg;
    ASSERT_TRUE(dlg.Create(kTestTemplateId));
    EXPECT_EQ(GetDlgItemText(dlg.m_hWnd, nxtest::kEdit), u"from member");
    EXPECT_EQ(IsDlgButtonChecked(dlg.m_hWnd, nxtest::kRadioB), BST_CHECKED);
    EXPECT_EQ(GetFocusedControl(dlg.m_hWnd), nxtest::kRadioA);
    ASSERT_FALSE(dlg.seen.empty());
    EXPECT_EQ(dlg.seen.front(), WM_INITDIALOG);
}

TEST_F(FrameworkDialogTest, RadioExchangeWalksTheGroupCountingOnlyRadioButtons) {
    TestDlg dlg;
    ASSERT_TRUE(dlg.Create(kTestTemplateId));
    const std::vector<int> group = {nxtest::kRadioA, nxtest::kRadioB, nxtest::kRadioC,
                                    nxtest::kRadioHidden};
    // Towards the controls: index -> the one checked button (or none).
    for (std::int32_t value : {-1, 0, 1, 2, 3, 4, 1000, -7}) {
        CheckDlgButton(dlg.m_hWnd, nxtest::kRadioOther, BST_CHECKED);
        dlg.m_nRadio = value;
        dlg.UpdateData(FALSE);
        for (int i = 0; i < static_cast<int>(group.size()); ++i) {
            EXPECT_EQ(IsDlgButtonChecked(dlg.m_hWnd, group[i]), i == value ? BST_CHECKED : 0u)
                << "value " << value << ", button " << group[i];
        }
        // The radio button after the next group start is not part of the walk.
        EXPECT_EQ(IsDlgButtonChecked(dlg.m_hWnd, nxtest::kRadioOther), BST_CHECKED);
    }
    // Towards the member: the checked button's index, -1 when none of the group is checked.
    for (int i = 0; i < static_cast<int>(group.size()); ++i) {
        dlg.m_nRadio = i;
        dlg.UpdateData(FALSE);
        dlg.m_nRadio = 99;
        dlg.UpdateData(TRUE);
        EXPECT_EQ(dlg.m_nRadio, i);
    }
    dlg.m_nRadio = -1;
    dlg.UpdateData(FALSE);
    dlg.m_nRadio = 99;
    dlg.UpdateData(TRUE);
    EXPECT_EQ(dlg.m_nRadio, -1);
}

TEST_F(FrameworkDialogTest, OverrideSeesEveryMessageAndMapRowsRunTheirHandlers) {
    TestDlg dlg;
    ASSERT_TRUE(dlg.Create(kTestTemplateId));
    dlg.seen.clear();
    SendMessageW(dlg.m_hWnd, BM_CLICK, nxtest::kPushFirst, 0);
    SendMessageW(dlg.m_hWnd, BM_CLICK, nxtest::kPushLast, 0);  // no row: ignored
    SendMessageW(dlg.m_hWnd, WM_USER + 5, 0, 0);
    EXPECT_EQ(dlg.firstClicks, 1);
    std::vector<UINT> expected = {BM_CLICK, WM_COMMAND, BM_CLICK, WM_COMMAND, WM_USER + 5};
    EXPECT_EQ(dlg.seen, expected);
    // A notification other than a click does not match a click row.
    SendMessageW(dlg.m_hWnd, WM_COMMAND, MAKEWPARAM(nxtest::kPushFirst, 1), 0);
    EXPECT_EQ(dlg.firstClicks, 1);
}

TEST_F(FrameworkDialogTest, ModelessDialogIsListedUntilDestroyed) {
    TestDlg dlg;
    ASSERT_TRUE(dlg.Create(kTestTemplateId));
    HWND hwnd = dlg.m_hWnd;
    auto listed = [hwnd] {
        for (const TopLevelWindow& w : ListTopLevelWindows())
            if (w.hwnd == hwnd) return true;
        return false;
    };
    EXPECT_TRUE(listed());
    EXPECT_TRUE(dlg.DestroyWindow());
    EXPECT_FALSE(listed());
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_FALSE(dlg.DestroyWindow());
}

// Without a window there is nothing to exchange with: the members keep their values.
TEST_F(FrameworkDialogTest, DataExchangeNeedsAWindow) {
    TestDlg dlg;
    ASSERT_TRUE(dlg.Create(kTestTemplateId));
    SetDlgItemTextW(dlg.m_hWnd, nxtest::kEdit, u"typed");
    EXPECT_TRUE(dlg.UpdateData(TRUE));
    EXPECT_TRUE(dlg.m_strEdit == u"typed");
    EXPECT_EQ(dlg.m_nRadio, 1);
    dlg.DestroyWindow();
    EXPECT_FALSE(dlg.UpdateData(TRUE));
    EXPECT_TRUE(dlg.m_strEdit == u"typed");
    EXPECT_EQ(dlg.m_nRadio, 1);
}

TEST_F(FrameworkDialogTest, MissingTemplateFails) {
    CDialog dlg(4242);
    EXPECT_EQ(dlg.DoModal(), -1);
    EXPECT_FALSE(dlg.Create(4242));
    EXPECT_EQ(dlg.m_hWnd, 0u);
}

TEST_F(FrameworkDialogTest, MainWindowIsForgottenWhenItsWindowGoes) {
    TestDlg dlg;
    ASSERT_TRUE(dlg.Create(kTestTemplateId));
    AfxSetMainWnd(&dlg);
    EXPECT_EQ(AfxGetMainWnd(), &dlg);
    DestroyWindow(dlg.m_hWnd);  // the platform's call, not the object's
    EXPECT_EQ(AfxGetMainWnd(), nullptr);
    EXPECT_EQ(dlg.m_hWnd, 0u);
}

// The application's message box is modal over the main window while there is one.
TEST_F(FrameworkDialogTest, MessageBoxBelongsToTheMainWindow) {
    TestDlg dlg;
    ASSERT_TRUE(dlg.Create(kTestTemplateId));
    const HWND window = dlg.m_hWnd;
    AfxMessageBox(u"before");
    AfxSetMainWnd(&dlg);
    AfxMessageBox(u"while");
    dlg.DestroyWindow();
    AfxMessageBox(u"after");
    EXPECT_EQ(renderer_->boxOwners, (std::vector<HWND>{0, window, 0}));
}

TEST_F(FrameworkDialogTest, ObjectDestructionTakesItsWindowAlong) {
    HWND hwnd = 0;
    {
        TestDlg dlg;
        ASSERT_TRUE(dlg.Create(kTestTemplateId));
        hwnd = dlg.m_hWnd;
    }
    EXPECT_FALSE(IsWindow(hwnd));
    MSG late{hwnd, WM_USER, 0, 0};
    EXPECT_FALSE(DispatchMessageW(&late));
}

TEST_F(FrameworkDialogTest, SetIconStoresLargeAndSmall) {
    TestDlg dlg;
    ASSERT_TRUE(dlg.Create(kTestTemplateId));
    EXPECT_EQ(dlg.SetIcon(5, TRUE), 0u);
    EXPECT_EQ(dlg.SetIcon(6, FALSE), 0u);
    EXPECT_EQ(GetWindowIcon(dlg.m_hWnd, ICON_BIG), 5u);
    EXPECT_EQ(GetWindowIcon(dlg.m_hWnd, ICON_SMALL), 6u);
    EXPECT_EQ(dlg.SetIcon(7, TRUE), 5u);
}

TEST_F(FrameworkDialogTest, CenterWindowCentresOverVisibleOwnerWithinTheWorkArea) {
    renderer_->workArea = RECT{0, 0, 480, 640};
    TestDlg owner;  // 200 x 120 pixels, like every window of the test template
    ASSERT_TRUE(owner.Create(kTestTemplateId));
    struct Case {
        const char* name;
        RECT ownerRect;
        bool ownerVisible;
        LONG left, top;
    };
    const std::vector<Case> cases = {
        {"over the owner", {100, 200, 300, 320}, true, 100, 200},
        {"owner hidden: the work area", {100, 200, 300, 320}, false, 140, 260},
        {"kept inside on the right and bottom", {400, 600, 600, 720}, true, 280, 520},
        {"kept inside on the left and top", {-150, -100, 50, 20}, true, 0, 0},
    };
    for (const Case& c : cases) {
        MoveWindow(owner.m_hWnd, c.ownerRect.left, c.ownerRect.top,
                   c.ownerRect.right - c.ownerRect.left, c.ownerRect.bottom - c.ownerRect.top);
        ShowWindow(owner.m_hWnd, c.ownerVisible);
        TestDlg dlg;
        ASSERT_TRUE(dlg.Create(kTestTemplateId, &owner));
        dlg.CenterWindow();
        RECT rect;
        ASSERT_TRUE(GetWindowRect(dlg.m_hWnd, &rect));
        EXPECT_EQ(rect.left, c.left) << c.name;
        EXPECT_EQ(rect.top, c.top) << c.name;
        EXPECT_EQ(rect.right - rect.left, 200) << c.name;
        EXPECT_EQ(rect.bottom - rect.top, 120) << c.name;
    }
}

TEST_F(FrameworkDialogTest, CenterWindowKeepsTheTopLeftOfAWindowLargerThanTheWorkArea) {
    renderer_->workArea = RECT{10, 20, 110, 80};
    TestDlg dlg;
    ASSERT_TRUE(dlg.Create(kTestTemplateId));
    dlg.CenterWindow();
    RECT rect;
    ASSERT_TRUE(GetWindowRect(dlg.m_hWnd, &rect));
    EXPECT_EQ(rect.left, 10);
    EXPECT_EQ(rect.top, 20);
}

}  // namespace
