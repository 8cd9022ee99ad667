// The real morvane.exe at the display scales Wine users set (LogPixels in the
// prefix, read by every process as it starts): 100, 125, 150 and 200 %. Every
// box must lie wholly where its page and the containers leave it visible,
// with no more of its label cut off than at 100 %, and nothing may overlap.
// The probe's key is closed to writing, so the notice plays throughout.
#include "e2e/Harness.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <sstream>

namespace e2e {
namespace {

constexpr UINT kScales[] = {96, 120, 144, 192};

// The notice (the GIF) and the banner's bitmap are shown at their own size
// at every scale: scaling the blinking notice smoothly would cost its every
// frame's paint more CPU.
constexpr SIZE kNotice = {115, 185};
constexpr SIZE kBannerPicture = {468, 60};
// A checkbox's mark and the gap before its label, at 96 DPI.
constexpr int kCheckMark96 = 17;
// A full HD screen: the window must fit it at 200 %.
constexpr SIZE kFullHd = {1920, 1080};

constexpr int kBannerPictureControl = 1007;

int At(int px96, UINT dpi) {
    return MulDiv(px96, static_cast<int>(dpi), 96);
}

// Wine takes the display scale from here when a process starts.
void SetLogPixels(DWORD dpi) {
    HKEY hKey;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Control Panel\\Desktop", 0, nullptr, 0,
                              KEY_SET_VALUE, nullptr, &hKey, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExA(hKey, "LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dpi),
                             sizeof(dpi)),
              ERROR_SUCCESS);
    RegCloseKey(hKey);
}

// The system's DPI functions of Windows 10, looked up: the tests are built
// for Windows 7.
template <class Fn> Fn User32(const char* name) {
    return reinterpret_cast<Fn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), name)));
}

// Rectangles are read in physical pixels whatever scale this process has.
void MeasureInPhysicalPixels() {
    static const auto setAwareness =
        User32<BOOL(WINAPI*)(DPI_AWARENESS_CONTEXT)>("SetProcessDpiAwarenessContext");
    if (setAwareness)
        setAwareness(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
}

std::string Show(const RECT& r) {
    std::ostringstream s;
    s << "(" << r.left << "," << r.top << ")-(" << r.right << "," << r.bottom << ")";
    return s.str();
}

RECT ScreenRect(HWND hWnd) {
    RECT rc{};
    GetWindowRect(hWnd, &rc);
    return rc;
}

RECT ScreenClientRect(HWND hWnd) {
    RECT rc{};
    GetClientRect(hWnd, &rc);
    MapWindowPoints(hWnd, nullptr, reinterpret_cast<POINT*>(&rc), 2);
    return rc;
}

bool Inside(const RECT& inner, const RECT& outer) {
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom;
}

bool Overlap(const RECT& a, const RECT& b) {
    RECT common;
    return IntersectRect(&common, &a, &b) != FALSE;
}

// What the window's ancestors up to the main window leave visible of it.
RECT VisibleArea(HWND hWnd, HWND hMain) {
    RECT area = ScreenClientRect(hMain);
    for (HWND h = GetParent(hWnd); h && h != hMain; h = GetParent(h)) {
        const RECT client = ScreenClientRect(h);
        IntersectRect(&area, &area, &client);
    }
    return area;
}

// How many pixels of the box's label do not fit beside its mark, measured in
// the dialogs' font at this scale.
int LabelCut(HWND hBox, UINT dpi) {
    HDC hdc = GetDC(nullptr);
    HFONT hFont = CreateFontA(-MulDiv(8, static_cast<int>(dpi), 72), 0, 0, 0, FW_NORMAL, FALSE,
                              FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                              CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, "MS Shell Dlg");
    HGDIOBJ hOld = SelectObject(hdc, hFont);
    const std::string label = WindowText(hBox);
    SIZE extent{};
    GetTextExtentPoint32A(hdc, label.c_str(), static_cast<int>(label.size()), &extent);
    SelectObject(hdc, hOld);
    DeleteObject(hFont);
    ReleaseDC(nullptr, hdc);
    const RECT rc = ScreenRect(hBox);
    return std::max(0, At(kCheckMark96, dpi) + static_cast<int>(extent.cx - (rc.right - rc.left)));
}

RECT Centred(const RECT& in, SIZE size) {
    const int x = (in.left + in.right - size.cx) / 2, y = (in.top + in.bottom - size.cy) / 2;
    return {x, y, x + size.cx, y + size.cy};
}

struct Named {
    std::string name;
    RECT rect;
};

// What must neither leave the main window nor overlap one another or a box:
// the tab control, the buttons, the notice and the banner's picture. (The
// banner's container reaches a few pixels over the tab control and the notice
// at 100 % already, above its picture.)
std::vector<Named> MainControls(HWND hMain, HWND hPicture) {
    return {{"tab control", ScreenRect(GetDlgItem(hMain, kTabControl))},
            {"Save && Exit", ScreenRect(GetDlgItem(hMain, IDOK))},
            {"About", ScreenRect(GetDlgItem(hMain, 1002))},
            {"Forum", ScreenRect(GetDlgItem(hMain, 1008))},
            {"notice", ScreenRect(GetDlgItem(hMain, kNoticeControl))},
            {"banner picture", Centred(ScreenRect(hPicture), kBannerPicture)}};
}

// The container whose dialog holds the banner's picture, a static control.
HWND BannerContainer(HWND hMain) {
    for (HWND h = GetWindow(hMain, GW_CHILD); h; h = GetWindow(h, GW_HWNDNEXT)) {
        char cls[16] = "";
        HWND hBanner = GetWindow(h, GW_CHILD);
        GetClassNameA(GetDlgItem(hBanner, kBannerPictureControl), cls, sizeof(cls));
        if (lstrcmpiA(cls, "Static") == 0)
            return h;
    }
    return nullptr;
}

// How deep two rectangles reach into each other; 0 when apart.
int OverlapDepth(const RECT& a, const RECT& b) {
    RECT common;
    if (!IntersectRect(&common, &a, &b))
        return 0;
    return std::min(common.right - common.left, common.bottom - common.top);
}

// A user's click at the box's centre: the point must be one the user can
// see of the box, and the box gets the button down and up there.
void ClickAtCentre(HWND hBox, HWND hMain) {
    const RECT rc = ScreenRect(hBox);
    POINT at{(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
    const RECT visible = VisibleArea(hBox, hMain);
    ASSERT_TRUE(PtInRect(&visible, at))
        << "the box's centre " << at.x << "," << at.y << " is outside " << Show(visible);
    ScreenToClient(hBox, &at);
    ASSERT_TRUE(Send(hBox, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(at.x, at.y)));
    ASSERT_TRUE(Send(hBox, WM_LBUTTONUP, 0, MAKELPARAM(at.x, at.y)));
}

class DisplayScaleTest : public testing::Test {
protected:
    void SetUp() override {
        MeasureInPhysicalPixels();
        PrepareRegistry({});
        DenyWritingTheProbeKey();
    }
    void TearDown() override { SetLogPixels(96); }
};

TEST_F(DisplayScaleTest, AtEveryScaleEveryBoxIsWhollyVisibleAndNothingOverlaps) {
    std::map<std::pair<size_t, size_t>, int> overlapAt96;
    std::map<BoxKey, int> cutAt96;
    for (const UINT dpi : kScales) {
        SCOPED_TRACE(testing::Message() << dpi << " DPI");
        SetLogPixels(dpi);
        Process program(ProgramPath());
        ASSERT_TRUE(program.Started()) << ProgramPath() << ": error " << program.StartError();
        HWND hMain = WaitForMainWindow(program.Id(), 20000);
        ASSERT_TRUE(hMain);
        const std::array<HWND, kPageCount> pages = Pages(hMain);
        for (int i = 0; i < kPageCount; ++i)
            ASSERT_TRUE(pages[i]) << "page " << i;
        HWND hTab = GetDlgItem(hMain, kTabControl);
        HWND hBannerTab = BannerContainer(hMain);
        ASSERT_TRUE(hBannerTab);

        // The window fits a full HD screen, and its controls lie inside it
        // apart from one another.
        const RECT window = ScreenRect(hMain);
        EXPECT_LE(window.right - window.left, kFullHd.cx) << Show(window);
        EXPECT_LE(window.bottom - window.top, kFullHd.cy) << Show(window);
        const RECT client = ScreenClientRect(hMain);
        HWND hPicture = GetDlgItem(GetWindow(hBannerTab, GW_CHILD), kBannerPictureControl);
        ASSERT_TRUE(hPicture);
        const std::vector<Named> controls = MainControls(hMain, hPicture);
        for (size_t a = 0; a < controls.size(); ++a) {
            const RECT& ra = controls[a].rect;
            EXPECT_TRUE(Inside(ra, client))
                << controls[a].name << " " << Show(ra) << " outside " << Show(client);
            // Apart, or reaching into each other no more than at 100 %.
            for (size_t b = a + 1; b < controls.size(); ++b) {
                const int depth = OverlapDepth(ra, controls[b].rect);
                if (dpi == 96)
                    overlapAt96[{a, b}] = depth;
                const int allowed = overlapAt96[{a, b}] ? At(overlapAt96[{a, b}], dpi) + 1 : 0;
                EXPECT_LE(depth, allowed) << controls[a].name << " " << Show(ra) << " and "
                                          << controls[b].name << " " << Show(controls[b].rect);
            }
        }
        // The notice plays.
        const RECT notice = ScreenRect(GetDlgItem(hMain, kNoticeControl));
        EXPECT_EQ(notice.right - notice.left, kNotice.cx);
        EXPECT_EQ(notice.bottom - notice.top, kNotice.cy);
        // The banner's picture shows whole.
        const RECT picture = controls.back().rect;
        EXPECT_TRUE(Inside(picture, VisibleArea(hPicture, hMain)))
            << "banner picture " << Show(picture) << " in " << Show(VisibleArea(hPicture, hMain));

        // Each page as the user sees it, the first before and after a tab
        // change; the boxes cut are counted after the change.
        int cut = 0, boxes = 0;
        const int visits[] = {0, 1, 2, 3, 4, 0};
        for (int visit = 0; visit < 6; ++visit) {
            const int tab = visits[visit];
            SCOPED_TRACE(testing::Message() << "tab " << tab);
            if (visit > 0) {
                ASSERT_TRUE(ClickTab(hTab, tab));
            }
            ASSERT_TRUE(IsWindowVisible(pages[tab]));
            std::vector<RECT> placed;
            for (const int id : PageBoxes(tab)) {
                HWND hBox = GetDlgItem(pages[tab], id);
                const RECT box = ScreenRect(hBox);
                const RECT visible = VisibleArea(hBox, hMain);
                if (visit > 0) {
                    ++boxes;
                    cut += !Inside(box, visible);
                }
                EXPECT_TRUE(Inside(box, visible)) << "box " << id << " \"" << WindowText(hBox)
                                                  << "\" " << Show(box) << " in " << Show(visible);
                for (const RECT& other : placed) {
                    EXPECT_FALSE(Overlap(box, other)) << "box " << id << " " << Show(box);
                }
                placed.push_back(box);
                for (const Named& control : controls) {
                    if (control.name != "tab control") {
                        EXPECT_FALSE(Overlap(box, control.rect))
                            << "box " << id << " " << Show(box) << " and " << control.name;
                    }
                }
                const int labelCut = LabelCut(hBox, dpi);
                if (dpi == 96) {
                    cutAt96[{tab, id}] = labelCut;
                } else {
                    EXPECT_LE(labelCut, At(cutAt96[{tab, id}], dpi) + At(2, dpi))
                        << "box " << id << " \"" << WindowText(hBox) << "\", cut at 96 DPI "
                        << cutAt96[{tab, id}];
                }
            }
        }
        printf("[ scale    ] %u DPI: %d of %d boxes cut, window %ldx%ld\n", dpi, cut, boxes,
               window.right - window.left, window.bottom - window.top);

        // At 150 % the last box of every page takes a user's click.
        if (dpi == 144) {
            CommandLog log;
            Snapshot watched = Watched();
            for (int tab = 0; tab < kPageCount; ++tab) {
                ASSERT_TRUE(ClickTab(hTab, tab));
                const Box last = expect::BoxesOf(tab).back();
                const bool was =
                    Send(GetDlgItem(pages[tab], last.id), BM_GETCHECK, 0, 0) == BST_CHECKED;
                const auto click = [&](HWND hBox) { ClickAtCentre(hBox, hMain); };
                ExpectToggle(pages[tab], last, !was, log, watched, click);
                ExpectToggle(pages[tab], last, was, log, watched, click);
            }
        }
        ExpectSaveAndExit(hMain, program);
    }
}

} // namespace
} // namespace e2e
