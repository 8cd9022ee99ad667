// The main window on the real dialog: tabs, page container, banner container,
// Escape, the system menu and the administrator probe.
#include "app/CQueltDlg.h"
#include "resource.h"
#include "support/Capture.h"
#include "support/RegistrySandbox.h"
#include "support/ShellRecorder.h"
#include "support/Ui.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

HWND Tab(HWND hDlg) {
    return GetDlgItem(hDlg, IDC_TAB);
}

// A real click on a tab item: the control then notifies TCN_SELCHANGE.
void ClickTab(HWND hDlg, int index) {
    RECT rc;
    SendMessageA(Tab(hDlg), TCM_GETITEMRECT, index, reinterpret_cast<LPARAM>(&rc));
    const LPARAM at = MAKELPARAM((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2);
    SendMessageA(Tab(hDlg), WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageA(Tab(hDlg), WM_LBUTTONUP, 0, at);
}

SIZE SizeOf(HWND hWnd) {
    RECT rc;
    GetWindowRect(hWnd, &rc);
    return {rc.right - rc.left, rc.bottom - rc.top};
}

// The containers in the dialog's client area, in pixels, as measured once
// in the test prefix (its fonts and system metrics).
constexpr RECT kPageContainer = {22, 40, 517, 315};
constexpr RECT kBannerContainer = {9, 335, 662, 402};

void ExpectRect(const RECT& actual, const RECT& expected, const char* what) {
    EXPECT_EQ(actual.left, expected.left) << what;
    EXPECT_EQ(actual.top, expected.top) << what;
    EXPECT_EQ(actual.right, expected.right) << what;
    EXPECT_EQ(actual.bottom, expected.bottom) << what;
}

// The main dialog, its five pages, the page container, the banner dialog and
// the banner container, in this order.
std::vector<HWND> EscapeTargets(CQueltDlg& dlg, HWND hDlg) {
    std::vector<HWND> windows{hDlg};
    for (int i = 0; i < 5; ++i)
        windows.push_back(dlg.PageAt(i) ? dlg.PageAt(i)->m_hWnd : nullptr);
    HWND hPages = windows[1] ? GetParent(windows[1]) : nullptr;
    windows.push_back(hPages);
    HWND hBannerTab = nullptr;
    for (HWND h = GetWindow(hDlg, GW_CHILD); h; h = GetWindow(h, GW_HWNDNEXT))
        if (h != hPages && dynamic_cast<CTabDialog*>(CWnd::FromHandlePermanent(h)))
            hBannerTab = h;
    windows.push_back(hBannerTab ? GetWindow(hBannerTab, GW_CHILD) : nullptr);
    windows.push_back(hBannerTab);
    return windows;
}

class MainDialogTest : public testing::Test {
protected:
    RegistrySandbox sandbox;
    ShellRecorder shell;
    CQueltDlg dlg;
};

TEST_F(MainDialogTest, FiveTabsAndTheGeneralPageShownAt490By275) {
    RunModal(dlg, {[&](HWND hDlg) {
                 const char* texts[] = {"General", "Services", "IExplorer", "Windows MediaPlayer",
                                        "Usability"};
                 ASSERT_EQ(SendMessageA(Tab(hDlg), TCM_GETITEMCOUNT, 0, 0), 5);
                 for (int i = 0; i < 5; ++i) {
                     char text[64] = "";
                     TCITEMA item{TCIF_TEXT};
                     item.pszText = text;
                     item.cchTextMax = sizeof(text);
                     SendMessageA(Tab(hDlg), TCM_GETITEMA, i, reinterpret_cast<LPARAM>(&item));
                     EXPECT_STREQ(text, texts[i]);
                 }
                 EXPECT_EQ(SendMessageA(Tab(hDlg), TCM_GETCURSEL, 0, 0), 0);
                 for (int i = 0; i < 5; ++i) {
                     ASSERT_TRUE(dlg.PageAt(i) && dlg.PageAt(i)->m_hWnd) << i;
                     EXPECT_EQ(IsWindowVisible(dlg.PageAt(i)->m_hWnd) != FALSE, i == 0) << i;
                 }
                 const SIZE page = SizeOf(dlg.PageAt(0)->m_hWnd);
                 EXPECT_EQ(page.cx, 490);
                 EXPECT_EQ(page.cy, 275);
                 Click(hDlg, IDOK);
             }});
}

TEST_F(MainDialogTest, ATabChangeShowsOnlyTheSelectedPageAt497By275) {
    RunModal(dlg, {[&](HWND hDlg) {
                 for (int selected : {3, 1, 4, 2, 0}) {
                     ClickTab(hDlg, selected);
                     EXPECT_EQ(SendMessageA(Tab(hDlg), TCM_GETCURSEL, 0, 0), selected);
                     for (int i = 0; i < 5; ++i)
                         EXPECT_EQ(IsWindowVisible(dlg.PageAt(i)->m_hWnd) != FALSE, i == selected);
                     const SIZE page = SizeOf(dlg.PageAt(selected)->m_hWnd);
                     EXPECT_EQ(page.cx, 497) << selected;
                     EXPECT_EQ(page.cy, 275) << selected;
                 }
                 Click(hDlg, IDOK);
             }});
}

TEST_F(MainDialogTest, ATabWhosePageHasNoWindowShowsNothing) {
    RunModal(dlg, {[&](HWND hDlg) {
                 DestroyWindow(dlg.PageAt(2)->m_hWnd);
                 ClickTab(hDlg, 2);
                 for (int i : {0, 1, 3, 4})
                     EXPECT_FALSE(IsWindowVisible(dlg.PageAt(i)->m_hWnd)) << i;
                 ClickTab(hDlg, 1);
                 EXPECT_TRUE(IsWindowVisible(dlg.PageAt(1)->m_hWnd));
                 Click(hDlg, IDOK);
             }});
}

TEST_F(MainDialogTest, ContainersStandByTheirFramesWhereverTheDialogIs) {
    RunModal(dlg, {[&](HWND hDlg) {
                 HWND hPages = GetParent(dlg.PageAt(0)->m_hWnd);
                 HWND hBannerTab = nullptr;
                 for (HWND h = GetWindow(hDlg, GW_CHILD); h; h = GetWindow(h, GW_HWNDNEXT))
                     if (h != hPages && CWnd::FromHandlePermanent(h))
                         hBannerTab = h;
                 ASSERT_TRUE(hBannerTab);
                 ExpectRect(RectIn(hPages, hDlg), kPageContainer, "page container");
                 ExpectRect(RectIn(hBannerTab, hDlg), kBannerContainer, "banner container");
                 EXPECT_TRUE(IsWindowVisible(hPages));
                 EXPECT_TRUE(IsWindowVisible(hBannerTab));
                 // The dialog was centred after set-up, yet the containers stand
                 // where they belong.
                 RECT dlgRect;
                 GetWindowRect(hDlg, &dlgRect);
                 EXPECT_GT(dlgRect.left, 0);
                 // The banner dialog is 1000 x 80 and clipped by its container.
                 HWND hBanner = GetWindow(hBannerTab, GW_CHILD);
                 EXPECT_EQ(SizeOf(hBanner).cx, 1000);
                 EXPECT_EQ(SizeOf(hBanner).cy, 80);
                 EXPECT_TRUE(IsWindowVisible(hBanner));
                 Click(hDlg, IDOK);
             }});
}

// Escape pressed on any window of the main dialog's tree, hidden pages
// included, while the dialog runs modally.
TEST_F(MainDialogTest, EscapeClosesNothing) {
    HWND hBanner = nullptr, hBannerTab = nullptr;
    const INT_PTR result = RunModal(
        dlg, {[&](HWND hDlg) {
                  const std::vector<HWND> windows = EscapeTargets(dlg, hDlg);
                  hBanner = windows[windows.size() - 2];
                  hBannerTab = windows.back();
                  for (HWND hWnd : windows) {
                      ASSERT_TRUE(hWnd);
                      PostMessageA(hWnd, WM_KEYDOWN, VK_ESCAPE, 0);
                      PostMessageA(hWnd, WM_KEYUP, VK_ESCAPE, 0);
                  }
                  HWND hBox = GetDlgItem(dlg.PageAt(0)->m_hWnd, 1003);
                  PostMessageA(hBox, WM_KEYDOWN, VK_ESCAPE, 0);
                  PostMessageA(GetDlgItem(hDlg, IDC_FORUM), WM_KEYDOWN, VK_ESCAPE, 0);
                  PostMessageA(GetDlgItem(hBanner, IDC_BANNER_PICTURE), WM_KEYDOWN, VK_ESCAPE, 0);
              },
              [&](HWND hDlg) {
                  EXPECT_TRUE(IsWindowVisible(hDlg));
                  EXPECT_TRUE(IsWindowVisible(dlg.PageAt(0)->m_hWnd));
                  for (int i = 1; i < 5; ++i)
                      EXPECT_FALSE(IsWindowVisible(dlg.PageAt(i)->m_hWnd)) << i;
                  EXPECT_TRUE(IsWindowVisible(GetParent(dlg.PageAt(0)->m_hWnd)));
                  EXPECT_TRUE(IsWindowVisible(hBanner));
                  EXPECT_TRUE(IsWindowVisible(hBannerTab));
                  Click(hDlg, IDOK);
              }});
    EXPECT_EQ(result, IDOK);
}

// The main dialog, each page and the banner take Escape themselves, so that
// none of them depends on the window it sits in to keep it from closing.
TEST_F(MainDialogTest, TheMainDialogEachPageAndTheBannerConsumeEscapeThemselves) {
    const INT_PTR result =
        RunModal(dlg, {[&](HWND hDlg) {
                     const std::vector<HWND> windows = EscapeTargets(dlg, hDlg);
                     const size_t banner = windows.size() - 2;
                     for (size_t i = 0; i < windows.size(); ++i) {
                         if (i > 5 && i != banner)
                             continue; // the containers leave it to their dialogs
                         CWnd* pWnd = CWnd::FromHandlePermanent(windows[i]);
                         ASSERT_TRUE(pWnd) << i;
                         MSG msg{windows[i], WM_KEYDOWN, VK_ESCAPE, 0};
                         EXPECT_TRUE(pWnd->PreTranslateMessage(&msg)) << "window " << i;
                     }
                     Click(hDlg, IDOK);
                 }});
    EXPECT_EQ(result, IDOK);
}

TEST_F(MainDialogTest, EnterOnAPageLeavesThePageAndTheWindow) {
    RunModal(dlg, {[&](HWND) {
                       HWND hBox = GetDlgItem(dlg.PageAt(0)->m_hWnd, 1016);
                       SetFocus(hBox);
                       PostMessageA(hBox, WM_KEYDOWN, VK_RETURN, 0);
                       PostMessageA(hBox, WM_KEYUP, VK_RETURN, 0);
                   },
                   [&](HWND hDlg) {
                       EXPECT_TRUE(IsWindowVisible(hDlg));
                       EXPECT_TRUE(IsWindowVisible(dlg.PageAt(0)->m_hWnd));
                       EXPECT_FALSE(IsChecked(dlg.PageAt(0)->m_hWnd, 1016));
                       Click(hDlg, IDOK);
                   }});
}

// What a window shows, pixel by pixel, once it has painted.
std::vector<COLORREF> Pixels(HWND hWnd) {
    RedrawWindow(hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    RECT rc;
    GetClientRect(hWnd, &rc);
    std::vector<COLORREF> pixels;
    HDC hdc = GetDC(hWnd);
    for (int y = 0; y < rc.bottom; ++y)
        for (int x = 0; x < rc.right; ++x)
            pixels.push_back(GetPixel(hdc, x, y));
    ReleaseDC(hWnd, hdc);
    return pixels;
}

size_t DifferingPixels(const std::vector<COLORREF>& a, const std::vector<COLORREF>& b) {
    size_t n = a.size() == b.size() ? 0 : std::max(a.size(), b.size());
    for (size_t i = 0; i < std::min(a.size(), b.size()); ++i)
        n += a[i] != b[i];
    return n;
}

// With the focus, a box draws its focus rectangle through the skin. The
// focus is given as the system gives it, by WM_SETFOCUS: SetFocus needs the
// window in front, which suites running side by side take from each other.
// (Tab reaching the box is the whole-program keyboard tests' part.)
TEST_F(MainDialogTest, AFocusedBoxShowsItsFocusRectangleThroughTheSkin) {
    RunModal(dlg, {[&](HWND hDlg) {
                 HWND hBox = GetDlgItem(dlg.PageAt(0)->m_hWnd, 1003);
                 const std::vector<COLORREF> unfocused = Pixels(hBox);
                 ASSERT_EQ(DifferingPixels(unfocused, Pixels(hBox)), 0u) << "steady";
                 SendMessageA(hBox, WM_SETFOCUS, 0, 0);
                 EXPECT_TRUE(SendMessageA(hBox, BM_GETSTATE, 0, 0) & BST_FOCUS);
                 // A dotted frame round the label: dozens of pixels.
                 EXPECT_GE(DifferingPixels(unfocused, Pixels(hBox)), 40u);
                 SendMessageA(hBox, WM_KILLFOCUS, 0, 0);
                 EXPECT_EQ(DifferingPixels(unfocused, Pixels(hBox)), 0u) << "focus gone";
                 Click(hDlg, IDOK);
             }});
}

TEST_F(MainDialogTest, SaveAndExitAndTheCloseBoxOnlyClose) {
    std::map<std::string, RegValue> before;
    EXPECT_EQ(RunModal(dlg, {[&](HWND hDlg) {
                           before = sandbox.Snapshot();
                           Click(hDlg, IDOK);
                       }}),
              IDOK);
    EXPECT_EQ(sandbox.Snapshot(), before);
    CQueltDlg again;
    EXPECT_EQ(RunModal(again, {[&](HWND hDlg) {
                           before = sandbox.Snapshot();
                           PostMessageA(hDlg, WM_SYSCOMMAND, SC_CLOSE, 0);
                       }}),
              IDCANCEL);
    EXPECT_EQ(sandbox.Snapshot(), before);
    EXPECT_TRUE(shell.Take().empty());
}

TEST_F(MainDialogTest, SystemMenuEndsWithTheAboutItem) {
    RunModal(dlg, {[&](HWND hDlg) {
                 HMENU hMenu = GetSystemMenu(hDlg, FALSE);
                 const int count = GetMenuItemCount(hMenu);
                 ASSERT_GE(count, 2);
                 EXPECT_EQ(GetMenuState(hMenu, count - 2, MF_BYPOSITION) & MF_SEPARATOR,
                           MF_SEPARATOR);
                 EXPECT_EQ(GetMenuItemID(hMenu, count - 1), 16u);
                 char text[64] = "";
                 GetMenuStringA(hMenu, count - 1, text, sizeof(text), MF_BYPOSITION);
                 EXPECT_STREQ(text, "&About Morvane...");
                 Click(hDlg, IDOK);
             }});
}

TEST_F(MainDialogTest, WithRightsTheProbeValueStaysAndNoNoticePlays) {
    RunModal(dlg, {[&](HWND hDlg) {
                 EXPECT_FALSE(dlg.NoticeIsPlaying());
                 Click(hDlg, IDOK);
             }});
    EXPECT_EQ(GetValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\morvane", "test"), Dword(0));
}

TEST_F(MainDialogTest, MinimisedItAnswersTheDragIcon) {
    RunModal(dlg, {[&](HWND hDlg) {
                 EXPECT_EQ(reinterpret_cast<HICON>(SendMessageA(hDlg, WM_QUERYDRAGICON, 0, 0)),
                           reinterpret_cast<HICON>(SendMessageA(hDlg, WM_GETICON, ICON_BIG, 0)));
                 EXPECT_TRUE(SendMessageA(hDlg, WM_GETICON, ICON_SMALL, 0));
                 Click(hDlg, IDOK);
             }});
}

// The icon's own 32 and 16 pixel entries, the sizes the system asks for at
// 96 DPI.
SIZE IconSize(HICON hIcon) {
    ICONINFO info{};
    BITMAP bm{};
    if (!GetIconInfo(hIcon, &info))
        return {0, 0};
    GetObjectA(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof(bm), &bm);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    return {bm.bmWidth, bm.bmHeight};
}

TEST_F(MainDialogTest, TheWindowsIconsAreTheEntriesOfTheirSizes) {
    RunModal(dlg, {[&](HWND hDlg) {
                 const SIZE big =
                     IconSize(reinterpret_cast<HICON>(SendMessageA(hDlg, WM_GETICON, ICON_BIG, 0)));
                 const SIZE small = IconSize(
                     reinterpret_cast<HICON>(SendMessageA(hDlg, WM_GETICON, ICON_SMALL, 0)));
                 EXPECT_EQ(big.cx, 32);
                 EXPECT_EQ(big.cy, 32);
                 EXPECT_EQ(small.cx, 16);
                 EXPECT_EQ(small.cy, 16);
                 Click(hDlg, IDOK);
             }});
}

TEST(MainDialogWithoutRightsTest, TheProbeFailsTheNoticePlaysAndPagesStillWork) {
    RegistrySandbox sandbox(RegistrySandbox::NoMachineRights);
    ShellRecorder shell;
    CQueltDlg dlg;
    RunModal(dlg,
             {[&](HWND hDlg) {
                  EXPECT_TRUE(dlg.NoticeIsPlaying());
                  RECT notice;
                  GetWindowRect(GetDlgItem(hDlg, IDC_NOTICE), &notice);
                  EXPECT_EQ(notice.right - notice.left, 115);
                  EXPECT_EQ(notice.bottom - notice.top, 185);
                  // Resized in place: the top-left corner stays where the template put it.
                  RECT tmpl{363, 94, 0, 0};
                  MapDialogRect(hDlg, &tmpl);
                  POINT at{notice.left, notice.top};
                  ScreenToClient(hDlg, &at);
                  EXPECT_EQ(at.x, tmpl.left);
                  EXPECT_EQ(at.y, tmpl.top);
                  // A per-user tweak on a hidden page still applies.
                  Click(dlg.PageAt(2)->m_hWnd, 1019);
                  EXPECT_EQ(GetValue(HKEY_CURRENT_USER,
                                     "Software\\Microsoft\\Internet Explorer\\Main", "Start Page"),
                            Sz("about:blank"));
              },
              [&](HWND hDlg) {
                  // A picture of the window with the notice, for people to look at.
                  CreateDirectoryA("artifacts", nullptr);
                  EXPECT_TRUE(SaveWindowBitmap(hDlg, "artifacts/main-window-notice.bmp"));
                  Click(hDlg, IDOK);
              }});
    EXPECT_FALSE(dlg.NoticeIsPlaying());
    EXPECT_FALSE(GetValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\morvane", "test"));
}

} // namespace
