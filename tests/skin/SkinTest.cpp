// The skin: colours only, and a plain look when the skin cannot be read.
#include "framework/Dialog.h"
#include "resource.h"
#include "skin/Skin.h"
#include "support/Ui.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

std::optional<SkinColors> Parse(const char* text) {
    return ParseSkin(text, strlen(text));
}

TEST(SkinFormatTest, ReadsBothColours) {
    const auto colors = Parse("; comment\r\ndialog.background = EEF1F6\r\ndialog.text=1f2a37\n");
    ASSERT_TRUE(colors);
    EXPECT_EQ(colors->background, RGB(0xEE, 0xF1, 0xF6));
    EXPECT_EQ(colors->text, RGB(0x1F, 0x2A, 0x37));
}

TEST(SkinFormatTest, AnIncompleteOrDamagedSkinIsNoSkin) {
    EXPECT_FALSE(Parse(""));
    EXPECT_FALSE(Parse("dialog.background = EEF1F6\n"));
    EXPECT_FALSE(Parse("dialog.background = EEF1G6\ndialog.text = 000000\n"));
    EXPECT_FALSE(Parse("dialog.background = EEF1F\ndialog.text = 000000\n"));
    EXPECT_FALSE(Parse("\xff\xfe\x00garbage"));
    EXPECT_FALSE(ParseSkin(nullptr, 10));
}

HBRUSH DialogBrush(HWND hDlg) {
    HDC hdc = GetDC(hDlg);
    auto brush = reinterpret_cast<HBRUSH>(SendMessageA(
        hDlg, WM_CTLCOLORDLG, reinterpret_cast<WPARAM>(hdc), reinterpret_cast<LPARAM>(hDlg)));
    ReleaseDC(hDlg, hdc);
    return brush;
}

COLORREF BrushColor(HBRUSH brush) {
    LOGBRUSH lb{};
    GetObjectA(brush, sizeof(lb), &lb);
    return lb.lbColor;
}

// One process-wide skin: the cases run in this order.
TEST(SkinLibraryTest, MissingSkinLeavesDialogsPlainThenTheSkinColoursThem) {
    HINSTANCE hInst = GetModuleHandleA(nullptr);
    EXPECT_TRUE(SkinInitialize(hInst, "SCRIBBLE", nullptr, nullptr));
    EXPECT_FALSE(SkinLoadFromResource(hInst, "NOSUCH", "SKINMAGIC"));
    EXPECT_FALSE(SkinApplyToDialogs("Dialog"));
    CDialog plain(IDD_ABOUTBOX);
    RunModal(plain, {[](HWND hDlg) {
                 EXPECT_NE(BrushColor(DialogBrush(hDlg)), RGB(0xEE, 0xF1, 0xF6));
                 Click(hDlg, IDOK);
             }});

    EXPECT_TRUE(SkinLoadFromResource(hInst, "DEFAULT", "SKINMAGIC"));
    EXPECT_FALSE(SkinApplyToDialogs("Button"));
    EXPECT_TRUE(SkinApplyToDialogs("Dialog"));
    CDialog skinned(IDD_ABOUTBOX);
    EXPECT_EQ(RunModal(skinned, {[](HWND hDlg) {
                           EXPECT_EQ(BrushColor(DialogBrush(hDlg)), RGB(0xEE, 0xF1, 0xF6));
                           Click(hDlg, IDOK); // the controls behave as before
                       }}),
              IDOK);
}

} // namespace
