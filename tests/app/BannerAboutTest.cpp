// The banner strip, the Forum button and the About box in the running window.
#include "app/CQueltDlg.h"
#include "framework/App.h"
#include "resource.h"
#include "support/Capture.h"
#include "support/RegistrySandbox.h"
#include "support/ShellRecorder.h"
#include "support/Ui.h"

#include <gtest/gtest.h>

namespace {

const ShellRequest kHome = Started("http://www.morvane.example/", "<null>", SW_SHOW);
const ShellRequest kForum =
    Started("http://www.morvane.example/newbb+index.cat+2.htm", "<null>", SW_SHOW);

HWND BannerPicture(HWND hDlg) {
    for (HWND h = GetWindow(hDlg, GW_CHILD); h; h = GetWindow(h, GW_HWNDNEXT))
        if (HWND hBanner = GetWindow(h, GW_CHILD))
            if (HWND hPicture = GetDlgItem(hBanner, IDC_BANNER_PICTURE)) {
                char cls[32] = "";
                GetClassNameA(hPicture, cls, sizeof(cls));
                if (lstrcmpiA(cls, "Static") == 0) // the pages have a 1007 too
                    return hPicture;
            }
    return nullptr;
}

// The About box: a dialog popup of this process owned by the main window.
// Other suites may have boxes of the same caption open at the same time.
HWND AboutBox(HWND hMain) {
    struct Search {
        HWND owner;
        HWND found;
    } search{hMain, nullptr};
    EnumWindows(
        [](HWND hWnd, LPARAM lParam) -> BOOL {
            auto* s = reinterpret_cast<Search*>(lParam);
            DWORD pid = 0;
            GetWindowThreadProcessId(hWnd, &pid);
            char cls[16] = "";
            GetClassNameA(hWnd, cls, sizeof(cls));
            if (pid != GetCurrentProcessId() || GetWindow(hWnd, GW_OWNER) != s->owner ||
                !(GetWindowLongA(hWnd, GWL_STYLE) & WS_POPUP) || lstrcmpA(cls, "#32770") != 0)
                return TRUE;
            s->found = hWnd;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

class BannerAboutTest : public testing::Test {
protected:
    BannerAboutTest() { app.m_pMainWnd = &dlg; }

    RegistrySandbox sandbox;
    ShellRecorder shell;
    CQueltDlg dlg;
    // As in the program, the main dialog is the application's main window,
    // which owns the About box whether or not the window is in front.
    CWinApp app;
};

TEST_F(BannerAboutTest, BannerAndForumEachOpenTheirPageOncePerClick) {
    RunModal(dlg, {[&](HWND hDlg) {
                 HWND hPicture = BannerPicture(hDlg);
                 ASSERT_TRUE(hPicture);
                 EXPECT_TRUE(GetWindowLongA(hPicture, GWL_STYLE) & SS_NOTIFY);
                 // A click on a notifying static: STN_CLICKED from the picture.
                 SendMessageA(GetParent(hPicture), WM_COMMAND,
                              MAKEWPARAM(IDC_BANNER_PICTURE, STN_CLICKED),
                              reinterpret_cast<LPARAM>(hPicture));
                 EXPECT_EQ(shell.Take(), std::vector<ShellRequest>{kHome});
                 // A double-click is its own notification and opens nothing more.
                 SendMessageA(GetParent(hPicture), WM_COMMAND,
                              MAKEWPARAM(IDC_BANNER_PICTURE, STN_DBLCLK),
                              reinterpret_cast<LPARAM>(hPicture));
                 EXPECT_TRUE(shell.Take().empty());
                 Click(hDlg, IDC_FORUM);
                 Click(hDlg, IDC_FORUM);
                 EXPECT_EQ(shell.Take(), (std::vector<ShellRequest>{kForum, kForum}));
                 Click(hDlg, IDOK);
             }});
}

TEST_F(BannerAboutTest, HandOverTheWholeBannerArrowElsewhere) {
    RunModal(dlg, {[&](HWND hDlg) {
                 HWND hPicture = BannerPicture(hDlg);
                 HWND hBanner = GetParent(hPicture);
                 const HCURSOR hand = LoadCursorA(nullptr, IDC_HAND);
                 const HCURSOR arrow = LoadCursorA(nullptr, IDC_ARROW);
                 SetCursor(arrow);
                 EXPECT_TRUE(SendMessageA(hPicture, WM_SETCURSOR,
                                          reinterpret_cast<WPARAM>(hPicture),
                                          MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)));
                 EXPECT_EQ(GetCursor(), hand);
                 SetCursor(arrow);
                 EXPECT_TRUE(SendMessageA(hBanner, WM_SETCURSOR, reinterpret_cast<WPARAM>(hBanner),
                                          MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)));
                 EXPECT_EQ(GetCursor(), hand);
                 SendMessageA(hDlg, WM_SETCURSOR, reinterpret_cast<WPARAM>(hDlg),
                              MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
                 EXPECT_EQ(GetCursor(), arrow);
                 Click(hDlg, IDOK);
             }});
}

// Opens the About box with open(hDlg), checks it and closes it with close.
void AboutRoundTrip(CQueltDlg& dlg, std::function<void(HWND)> open,
                    std::function<void(HWND)> close) {
    AfxGetApp()->m_pMainWnd = &dlg;
    RunModal(dlg, {open,
                   [&](HWND hDlg) {
                       HWND hAbout = AboutBox(hDlg);
                       ASSERT_TRUE(hAbout);
                       EXPECT_EQ(WindowText(hAbout), "About Morvane");
                       EXPECT_TRUE(IsWindowVisible(hAbout));
                       EXPECT_FALSE(IsWindowEnabled(hDlg));
                       EXPECT_EQ(GetWindow(hAbout, GW_OWNER), hDlg);
                       RECT about, main;
                       GetWindowRect(hAbout, &about);
                       GetWindowRect(hDlg, &main);
                       EXPECT_NEAR((about.left + about.right) / 2, (main.left + main.right) / 2, 1);
                       EXPECT_NEAR((about.top + about.bottom) / 2, (main.top + main.bottom) / 2, 1);
                       close(hAbout);
                   },
                   [&](HWND hDlg) {
                       EXPECT_FALSE(AboutBox(hDlg));
                       EXPECT_TRUE(IsWindowEnabled(hDlg));
                       Click(hDlg, IDOK);
                   }});
}

TEST_F(BannerAboutTest, AboutOpensFromTheButtonAndTheSystemMenu) {
    const auto button = [](HWND hDlg) {
        PostMessageA(GetDlgItem(hDlg, IDC_ABOUT), BM_CLICK, 0, 0);
    };
    const auto ok = [](HWND hAbout) { PostMessageA(GetDlgItem(hAbout, IDOK), BM_CLICK, 0, 0); };
    AboutRoundTrip(dlg, button, ok);
    CQueltDlg menu;
    AboutRoundTrip(
        menu, [](HWND hDlg) { PostMessageA(hDlg, WM_SYSCOMMAND, 16, 0); }, ok);
    CQueltDlg lowBits;
    AboutRoundTrip(
        lowBits, [](HWND hDlg) { PostMessageA(hDlg, WM_SYSCOMMAND, 16 | 0xF, 0); }, ok);
}

TEST_F(BannerAboutTest, AboutClosesWithEscapeAndItsCloseBox) {
    const auto button = [](HWND hDlg) {
        PostMessageA(GetDlgItem(hDlg, IDC_ABOUT), BM_CLICK, 0, 0);
    };
    AboutRoundTrip(dlg, button, [](HWND hAbout) {
        PostMessageA(GetDlgItem(hAbout, IDOK), WM_KEYDOWN, VK_ESCAPE, 0);
    });
    CQueltDlg again;
    AboutRoundTrip(again, button,
                   [](HWND hAbout) { PostMessageA(hAbout, WM_SYSCOMMAND, SC_CLOSE, 0); });
}

TEST_F(BannerAboutTest, AboutShowsNameVersionAndIcon) {
    RunModal(dlg, {[](HWND hDlg) { PostMessageA(hDlg, WM_SYSCOMMAND, 16, 0); },
                   [](HWND hDlg) {
                       HWND hAbout = AboutBox(hDlg);
                       ASSERT_TRUE(hAbout);
                       bool name = false, icon = false;
                       for (HWND h = GetWindow(hAbout, GW_CHILD); h;
                            h = GetWindow(h, GW_HWNDNEXT)) {
                           name |= WindowText(h) == "Morvane, Version 1.5";
                           icon |= (GetWindowLongA(h, GWL_STYLE) & SS_TYPEMASK) == SS_ICON &&
                                   SendMessageA(h, STM_GETICON, 0, 0) != 0;
                       }
                       EXPECT_TRUE(name);
                       EXPECT_TRUE(icon);
                       CreateDirectoryA("artifacts", nullptr);
                       EXPECT_TRUE(SaveWindowBitmap(hAbout, "artifacts/about-box.bmp"));
                       PostMessageA(GetDlgItem(hAbout, IDOK), BM_CLICK, 0, 0);
                   },
                   [](HWND hDlg) { Click(hDlg, IDOK); }});
}

TEST_F(BannerAboutTest, OtherSystemCommandsKeepTheirDefault) {
    HWND hMain = nullptr;
    EXPECT_EQ(RunModal(dlg, {[&](HWND hDlg) {
                           hMain = hDlg;
                           PostMessageA(hDlg, WM_SYSCOMMAND, SC_CLOSE, 0);
                       }}),
              IDCANCEL);
    EXPECT_FALSE(AboutBox(hMain));
}

} // namespace

namespace {

#pragma pack(push, 2)
struct GroupIconEntry {
    BYTE width, height, colours, reserved;
    WORD planes, bitCount;
    DWORD bytes;
    WORD id;
};
#pragma pack(pop)

TEST(PictureResourcesTest, TheIconHasItsEightImages) {
    HRSRC hRes = FindResourceA(nullptr, MAKEINTRESOURCEA(IDR_MAINFRAME), RT_GROUP_ICON);
    ASSERT_TRUE(hRes);
    const auto* dir = static_cast<const WORD*>(LockResource(LoadResource(nullptr, hRes)));
    ASSERT_EQ(dir[2], 8);
    const auto* entries = reinterpret_cast<const GroupIconEntry*>(dir + 3);
    const int expected[8][2] = {{48, 8},   {32, 8},  {16, 8},  {256, 32},
                                {128, 32}, {48, 32}, {32, 32}, {16, 32}};
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(entries[i].width ? entries[i].width : 256, expected[i][0]) << i;
        EXPECT_EQ(entries[i].bitCount, expected[i][1]) << i;
    }
    // Each size loads as an icon of that size.
    for (int size : {16, 32, 48, 256})
        EXPECT_TRUE(LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_MAINFRAME),
                               IMAGE_ICON, size, size, 0))
            << size;
}

TEST(PictureResourcesTest, TheBannerIs468By60At16BitsUncompressed) {
    HRSRC hRes = FindResourceA(nullptr, MAKEINTRESOURCEA(IDB_BANNER), RT_BITMAP);
    ASSERT_TRUE(hRes);
    const auto* info =
        static_cast<const BITMAPINFOHEADER*>(LockResource(LoadResource(nullptr, hRes)));
    EXPECT_EQ(info->biWidth, 468);
    EXPECT_EQ(info->biHeight, 60);
    EXPECT_EQ(info->biBitCount, 16);
    EXPECT_EQ(info->biCompression, static_cast<DWORD>(BI_RGB));
}

} // namespace
