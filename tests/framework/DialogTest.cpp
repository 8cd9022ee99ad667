// The dialog framework on real windows: modal loop, message routing through
// PreTranslateMessage, message maps and data exchange.
#include "framework/Controls.h"
#include "framework/Dialog.h"
#include "resource.h"
#include "support/Ui.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

// A page-like child: counts clicks per box and consumes Escape.
class ProbePage : public CDialog {
public:
    explicit ProbePage(CWnd* pParent) : CDialog(IDD_GENERAL, pParent) {}

    BOOL PreTranslateMessage(MSG* pMsg) override {
        seen.push_back(pMsg->message);
        if (pMsg->message == WM_KEYDOWN && pMsg->wParam == VK_ESCAPE)
            return TRUE;
        return CDialog::PreTranslateMessage(pMsg);
    }
    void OnBox1003() { ++clicks1003; }
    void OnBox1006() { ++clicks1006; }
    void DoDataExchange(CDataExchange* pDX) override { DDX_Control(pDX, 1003, box); }

    std::vector<UINT> seen;
    int clicks1003 = 0, clicks1006 = 0;
    CButton box;

    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(ProbePage, CDialog)
ON_BN_CLICKED(1003, &ProbePage::OnBox1003)
ON_BN_CLICKED(1006, &ProbePage::OnBox1006)
END_MESSAGE_MAP()

// A modal popup hosting the page.
class HostDialog : public CDialog {
public:
    HostDialog() : CDialog(IDD_ABOUTBOX), page(this) {}
    BOOL OnInitDialog() override {
        CDialog::OnInitDialog();
        pageCreated = page.Create(IDD_GENERAL, this);
        initialRect = {};
        ::GetWindowRect(m_hWnd, &initialRect);
        return TRUE;
    }
    ProbePage page;
    BOOL pageCreated = FALSE;
    RECT initialRect;
};

TEST(ModalDialogTest, ChildDialogSeesMessagesToItsControlsFirst) {
    HostDialog host;
    HWND hBox = nullptr;
    const INT_PTR result = RunModal(host, {[&](HWND) {
                                               ASSERT_TRUE(host.pageCreated);
                                               hBox = host.page.box.m_hWnd;
                                               ASSERT_TRUE(hBox);
                                               PostMessageA(hBox, WM_KEYDOWN, VK_ESCAPE, 0);
                                               // A typed letter on a hidden page: the host's
                                               // search for a mnemonic would never come back
                                               // to the box, and must not be started.
                                               PostMessageA(hBox, WM_KEYDOWN, 'A', 0);
                                               PostMessageA(hBox, WM_CHAR, 'a', 0);
                                               PostMessageA(hBox, WM_KEYUP, 'A', 0);
                                           },
                                           [&](HWND hDlg) {
                                               // Escape was consumed by the page: the box is still
                                               // open.
                                               EXPECT_TRUE(IsWindowVisible(hDlg));
                                               // On a visible page the search comes round.
                                               ShowWindow(host.page.m_hWnd, SW_SHOW);
                                               PostMessageA(hBox, WM_CHAR, 'b', 0);
                                           },
                                           [&](HWND hDlg) {
                                               EXPECT_TRUE(IsWindowVisible(hDlg));
                                               host.EndDialog(IDOK);
                                           }});
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(std::count(host.page.seen.begin(), host.page.seen.end(), WM_KEYDOWN), 2);
    EXPECT_GE(std::count(host.page.seen.begin(), host.page.seen.end(), WM_CHAR), 2);
}

// Tab follows the host's tab order: through the boxes of a visible child
// dialog in template order and back to the host's button, past a hidden one.
// (The order, not the focus: the focus needs the window in front, which
// suites running side by side take from each other.)
TEST(ModalDialogTest, TheTabOrderGoesThroughAVisibleChildDialogAndRound) {
    const int boxes[] = {1003, 1006, 1007, 1009, 1010, 1011, 1013, 1015, 1016, 1017, 1020};
    HostDialog host;
    RunModal(host, {[&](HWND hDlg) {
                 HWND hPage = host.page.m_hWnd;
                 EXPECT_TRUE(GetWindowLongA(hPage, GWL_EXSTYLE) & WS_EX_CONTROLPARENT);
                 ShowWindow(hPage, SW_SHOW);
                 HWND hOk = GetDlgItem(hDlg, IDOK);
                 HWND h = hOk;
                 for (int id : boxes) {
                     h = GetNextDlgTabItem(hDlg, h, FALSE);
                     EXPECT_EQ(h, GetDlgItem(hPage, id)) << "forwards to " << id;
                 }
                 EXPECT_EQ(GetNextDlgTabItem(hDlg, h, FALSE), hOk) << "after the last box";
                 h = GetDlgItem(hPage, boxes[10]);
                 for (int i = 9; i >= 0; --i) {
                     h = GetNextDlgTabItem(hDlg, h, TRUE);
                     EXPECT_EQ(h, GetDlgItem(hPage, boxes[i])) << "backwards to " << boxes[i];
                 }
                 EXPECT_EQ(GetNextDlgTabItem(hDlg, h, TRUE), hOk) << "before the first box";
                 ShowWindow(hPage, SW_HIDE);
                 EXPECT_EQ(GetNextDlgTabItem(hDlg, hOk, FALSE), hOk) << "the child hidden";
                 EXPECT_EQ(GetNextDlgTabItem(hDlg, hOk, TRUE), hOk) << "the child hidden";
                 Click(hDlg, IDOK);
             }});
}

TEST(ModalDialogTest, PlainDialogClosesOnEscapeAndOnItsCloseBox) {
    CDialog escape(IDD_ABOUTBOX);
    EXPECT_EQ(RunModal(escape, {[](HWND hDlg) {
                           PostMessageA(GetDlgItem(hDlg, IDOK), WM_KEYDOWN, VK_ESCAPE, 0);
                       }}),
              IDCANCEL);
    CDialog closeBox(IDD_ABOUTBOX);
    EXPECT_EQ(
        RunModal(closeBox, {[](HWND hDlg) { PostMessageA(hDlg, WM_SYSCOMMAND, SC_CLOSE, 0); }}),
        IDCANCEL);
    CDialog ok(IDD_ABOUTBOX);
    EXPECT_EQ(RunModal(ok, {[](HWND hDlg) { Click(hDlg, IDOK); }}), IDOK);
    EXPECT_FALSE(ok.m_hWnd);
}

TEST(ModalDialogTest, OwnerIsDisabledWhileTheBoxIsOpen) {
    HostDialog owner;
    ASSERT_EQ(RunModal(owner, {[&](HWND hOwner) {
                           CDialog box(IDD_ABOUTBOX, &owner);
                           RunModal(box, {[&](HWND hBox) {
                                        EXPECT_FALSE(IsWindowEnabled(hOwner));
                                        EXPECT_EQ(GetWindow(hBox, GW_OWNER), hOwner);
                                        Click(hBox, IDOK);
                                    }});
                           EXPECT_TRUE(IsWindowEnabled(hOwner));
                           Click(hOwner, IDOK);
                       }}),
              IDOK);
}

TEST(ModalDialogTest, TopLevelDialogIsCentredAfterItsInitialisation) {
    HostDialog host;
    RECT shown{};
    RunModal(host, {[&](HWND hDlg) {
                 GetWindowRect(hDlg, &shown);
                 Click(hDlg, IDOK);
             }});
    // The template says 0, 0: during initialisation it stood there.
    EXPECT_EQ(host.initialRect.left, 0);
    EXPECT_EQ(host.initialRect.top, 0);
    EXPECT_GT(shown.left, 0);
    EXPECT_GT(shown.top, 0);
}

TEST(MessageMapTest, EachCheckboxRunsItsOwnHandler) {
    HostDialog host;
    RunModal(host, {[&](HWND hDlg) {
                 HWND hPage = host.page.m_hWnd;
                 Click(hPage, 1003);
                 Click(hPage, 1003);
                 Click(hPage, 1006);
                 Click(hPage, 1007); // no entry: nothing runs
                 EXPECT_EQ(host.page.clicks1003, 2);
                 EXPECT_EQ(host.page.clicks1006, 1);
                 EXPECT_TRUE(IsChecked(hPage, 1006));
                 Click(hDlg, IDOK);
             }});
}

TEST(DataExchangeTest, BindsMembersToTheirTemplateControls) {
    HostDialog host;
    RunModal(host, {[&](HWND hDlg) {
                 EXPECT_EQ(host.page.box.m_hWnd, GetDlgItem(host.page.m_hWnd, 1003));
                 EXPECT_EQ(WindowText(host.page.box.m_hWnd), "Compressed Folders");
                 Click(hDlg, IDOK);
             }});
}

TEST(ModelessDialogTest, ChildWindowGoesWithItsObject) {
    HostDialog host;
    RunModal(host, {[&](HWND hDlg) {
                 HWND hChild;
                 {
                     ProbePage extra(&host);
                     ASSERT_TRUE(extra.Create(IDD_GENERAL, &host));
                     hChild = extra.m_hWnd;
                     EXPECT_EQ(GetParent(hChild), hDlg);
                     EXPECT_FALSE(IsWindowVisible(hChild)); // page templates are not visible
                     EXPECT_EQ(CWnd::FromHandlePermanent(hChild), &extra);
                 }
                 EXPECT_FALSE(IsWindow(hChild));
                 Click(hDlg, IDOK);
             }});
}

} // namespace
