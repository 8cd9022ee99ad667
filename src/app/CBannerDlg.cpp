#include "app/CBannerDlg.h"

#include "app/Links.h"
#include "app/Strings.h"
#include "framework/Accessible.h"
#include "resource.h"
#include "system/Shell.h"

BEGIN_MESSAGE_MAP(CBannerDlg, CDialog)
ON_STN_CLICKED(IDC_BANNER_PICTURE, &CBannerDlg::OnStnClickedBanner)
ON_WM_SETCURSOR()
END_MESSAGE_MAP()

CBannerDlg::CBannerDlg(CWnd* pParent) : CDialog(IDD_BANNER, pParent) {}

BOOL CBannerDlg::PreTranslateMessage(MSG* pMsg) {
    if (IsEscapeToConsume(pMsg))
        return TRUE;
    return CDialog::PreTranslateMessage(pMsg);
}

bool CBannerDlg::DescribeControl(int id, AccessibleText& text) const {
    if (id != IDC_BANNER_PICTURE)
        return false;
    text.name = ResourceString(IDS_BANNER_NAME);
    text.description = ResourceString(IDS_BANNER_DESCRIPTION);
    return true;
}

// STN_CLICKED only: a double-click opens the page once per click.
void CBannerDlg::OnStnClickedBanner() {
    ShellOpen(kHomePageUrl, nullptr, SW_SHOW);
}

// A static control hands WM_SETCURSOR to its parent first, so this covers the
// picture as well as the rest of the strip.
BOOL CBannerDlg::OnSetCursor(HWND, UINT, UINT) {
    SetCursor(LoadCursorA(nullptr, IDC_HAND));
    return TRUE;
}
