#include "app/CQueltDlg.h"

#include "app/CAboutDlg.h"
#include "app/CBannerDlg.h"
#include "app/Links.h"
#include "app/Strings.h"
#include "framework/Accessible.h"
#include "framework/App.h"
#include "framework/Dpi.h"
#include "pages/CIESettingsDlg.h"
#include "pages/CUsabilityDlg.h"
#include "pages/CWMediaPlayer.h"
#include "pages/GeneralSettingsDlg.h"
#include "pages/ServicesSettingsDlg.h"
#include "resource.h"
#include "system/Registry.h"
#include "system/Shell.h"
#include "tweaks/Tweaks.h"

#include <algorithm>

namespace {
// In pixels at 96 DPI, scaled to the window's.
constexpr int kPageWidthAtStart = 490;
constexpr int kPageWidth = 497; // a page is 7 pixels wider after the first tab change
constexpr int kPageHeight = 275;
constexpr int kBannerWidth = 1000; // larger than its container, which clips it
constexpr int kBannerHeight = 80;
constexpr int kCheckMark = 17; // a checkbox's mark and the gap before its label
// Ctrl+Tab and Ctrl+PageDown go to the next page, Ctrl+Shift+Tab and
// Ctrl+PageUp to the previous one; 0 for every other message.
int PageStep(const MSG& msg) {
    if (msg.message != WM_KEYDOWN || GetKeyState(VK_CONTROL) >= 0)
        return 0;
    switch (msg.wParam) {
    case VK_TAB:
        return GetKeyState(VK_SHIFT) < 0 ? -1 : 1;
    case VK_NEXT:
        return 1;
    case VK_PRIOR:
        return -1;
    default:
        return 0;
    }
}

// The icon's entry of the size the system asks for at its display scale (the
// nearest one, scaled, where it has none of that size).
HICON LoadAppIcon(int metricX, int metricY) {
    return static_cast<HICON>(LoadImageA(AfxGetResourceHandle(), MAKEINTRESOURCEA(IDR_MAINFRAME),
                                         IMAGE_ICON, GetSystemMetrics(metricX),
                                         GetSystemMetrics(metricY), 0));
}

RECT RectInParent(HWND hWnd) {
    RECT rc;
    GetWindowRect(hWnd, &rc);
    MapWindowPoints(nullptr, GetParent(hWnd), reinterpret_cast<POINT*>(&rc), 2);
    return rc;
}

// Dialog units follow the font's average character width, which grows more
// slowly than its text: above 96 DPI a box of the template cuts off more of
// its label. Each box is widened to its label, as far as the next box on its
// row and what the page and its container show.
void WidenToLabels(HWND hPage, UINT dpi) {
    RECT page, container;
    GetClientRect(hPage, &page);
    GetClientRect(GetParent(hPage), &container);
    const LONG limit = std::min(page.right, container.right);
    for (HWND hBox = GetWindow(hPage, GW_CHILD); hBox; hBox = GetWindow(hBox, GW_HWNDNEXT)) {
        char text[128];
        const int length = GetWindowTextA(hBox, text, sizeof(text));
        HDC hdc = GetDC(hBox);
        const HGDIOBJ hOld =
            SelectObject(hdc, reinterpret_cast<HGDIOBJ>(SendMessageA(hBox, WM_GETFONT, 0, 0)));
        SIZE extent{};
        GetTextExtentPoint32A(hdc, text, length, &extent);
        SelectObject(hdc, hOld);
        ReleaseDC(hBox, hdc);
        const RECT box = RectInParent(hBox);
        LONG right = std::min(box.left + ScaledPx(kCheckMark, dpi) + extent.cx, limit);
        for (HWND h = GetWindow(hPage, GW_CHILD); h; h = GetWindow(h, GW_HWNDNEXT))
            if (const RECT other = RectInParent(h);
                other.left > box.left && other.top < box.bottom && other.bottom > box.top)
                right = std::min(right, other.left);
        if (right > box.right)
            ::SetWindowPos(hBox, nullptr, 0, 0, right - box.left, box.bottom - box.top,
                           SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}
} // namespace

BEGIN_MESSAGE_MAP(CQueltDlg, CDialog)
ON_WM_SYSCOMMAND()
ON_WM_PAINT()
ON_WM_QUERYDRAGICON()
ON_NOTIFY(TCN_SELCHANGE, IDC_TAB, &CQueltDlg::OnSelchangeTab)
ON_BN_CLICKED(IDC_ABOUT, &CQueltDlg::OnBnClickedAbout)
ON_BN_CLICKED(IDC_FORUM, &CQueltDlg::OnBnClickedForum)
END_MESSAGE_MAP()

CQueltDlg::CQueltDlg()
    : CDialog(IDD_MORVANE_DIALOG), m_hIcon(LoadAppIcon(SM_CXICON, SM_CYICON)),
      m_hSmallIcon(LoadAppIcon(SM_CXSMICON, SM_CYSMICON)) {}

// The window is gone by now; each object is deleted when it was allocated,
// whether or not its window ever appeared.
CQueltDlg::~CQueltDlg() {
    delete m_pGeneralDlg;
    delete m_pTabDialog;
    delete m_pServicesDlg;
    delete m_pIEDlg;
    delete m_pMediaPlayerDlg;
    delete m_pUsabilityDlg;
    delete m_pBannerTab;
    delete m_pBannerDlg;
    DestroyIcon(m_hIcon);
    DestroyIcon(m_hSmallIcon);
}

void CQueltDlg::DoDataExchange(CDataExchange* pDX) {
    DDX_Control(pDX, IDC_TAB, m_tabCtrl);
    DDX_Control(pDX, IDC_PAGE_FRAME, m_stPageFrame);
    DDX_Control(pDX, IDC_BANNER_FRAME, m_stBannerFrame);
    DDX_Control(pDX, IDC_NOTICE, m_picNotice);
}

BOOL CQueltDlg::OnInitDialog() {
    CDialog::OnInitDialog();

    if (HMENU hSysMenu = GetSystemMenu(m_hWnd, FALSE)) {
        char text[256];
        if (LoadStringA(AfxGetResourceHandle(), IDS_ABOUTBOX, text, sizeof(text)) > 0) {
            AppendMenuA(hSysMenu, MF_SEPARATOR, 0, nullptr);
            AppendMenuA(hSysMenu, MF_STRING, IDM_ABOUTBOX, text);
        }
    }
    SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hSmallIcon));

    // The tabs are reached with Tab; the arrows then change the page.
    SetWindowLongA(m_tabCtrl.m_hWnd, GWL_STYLE,
                   GetWindowLongA(m_tabCtrl.m_hWnd, GWL_STYLE) | WS_TABSTOP);

    m_nDpi = WindowDpi(m_hWnd);
    InitContainers(); // the window opens whether or not this completed

    int item = 0;
    for (const TweakTable& table : TweakTables())
        m_tabCtrl.InsertItem(item++, table.tab);
    DescribeToScreenReadersWhenAsked();

    // A harmless machine-wide write tells whether tweaks under HKLM can work.
    const DWORD zero = 0;
    if (SetUserValue(HKLM, Key("SOFTWARE\\morvane"), "test", REG_DWORD, &zero, sizeof(zero)) !=
            ERROR_SUCCESS &&
        m_picNotice.LoadFromResource())
        m_picNotice.ShowPicture();
    return TRUE;
}

// The container lands at the frame's offset from the dialog window's outer
// top-left corner, moved by dx, dy, wherever the dialog stands.
void CQueltDlg::PlaceContainer(CTabDialog& container, const CStatic& frame, int dx, int dy) const {
    RECT rcFrame, rcDialog;
    frame.GetWindowRect(&rcFrame);
    GetWindowRect(&rcDialog);
    container.SetWindowPos(nullptr, rcFrame.left - rcDialog.left + Px(dx),
                           rcFrame.top - rcDialog.top + Px(dy), 0, 0,
                           SWP_NOSIZE | SWP_NOZORDER | SWP_SHOWWINDOW);
}

BOOL CQueltDlg::InitContainers() {
    m_pTabDialog = new CTabDialog(IDD_PAGE_CONTAINER, this);
    if (!m_pTabDialog->Create(IDD_PAGE_CONTAINER, this))
        return FALSE;
    // The tab order is the order of the windows: "About" and "Forum" come
    // after the page's boxes. Neither overlaps the pages.
    ::SetWindowPos(GetDlgItem(IDC_ABOUT), m_pTabDialog->m_hWnd, 0, 0, 0, 0,
                   SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    ::SetWindowPos(GetDlgItem(IDC_FORUM), GetDlgItem(IDC_ABOUT), 0, 0, 0, 0,
                   SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    if (!CreatePages())
        return FALSE;
    if (m_nDpi != USER_DEFAULT_SCREEN_DPI)
        for (int i = 0; i < 5; ++i)
            WidenToLabels(PageAt(i)->m_hWnd, m_nDpi);
    PlaceContainer(*m_pTabDialog, m_stPageFrame, 5, -15);
    m_pTabDialog->LayoutPages(Px(kPageWidthAtStart), Px(kPageHeight));

    m_pBannerTab = new CTabDialog(IDD_BANNER_CONTAINER, this);
    if (!m_pBannerTab->Create(IDD_BANNER_CONTAINER, this))
        return FALSE;
    if (!CreateBanner())
        return FALSE;
    PlaceContainer(*m_pBannerTab, m_stBannerFrame, -5, -40);
    m_pBannerTab->LayoutPages(Px(kBannerWidth), Px(kBannerHeight));
    return TRUE;
}

// A page is owned from the moment it exists, before its window does.
template <class Page> BOOL CQueltDlg::CreatePage(Page*& pPage, UINT nIDTemplate) {
    pPage = new Page(m_pTabDialog);
    if (!pPage->Create(nIDTemplate, m_pTabDialog))
        return FALSE;
    return m_pTabDialog->AddPage(pPage);
}

// In tab order; the first failure leaves the later pages uncreated.
BOOL CQueltDlg::CreatePages() {
    return CreatePage(m_pGeneralDlg, IDD_GENERAL) && CreatePage(m_pServicesDlg, IDD_SERVICES) &&
           CreatePage(m_pIEDlg, IDD_IEXPLORER) && CreatePage(m_pMediaPlayerDlg, IDD_MEDIAPLAYER) &&
           CreatePage(m_pUsabilityDlg, IDD_USABILITY);
}

BOOL CQueltDlg::CreateBanner() {
    m_pBannerDlg = new CBannerDlg(m_pBannerTab);
    if (!m_pBannerDlg->Create(IDD_BANNER, m_pBannerTab))
        return FALSE;
    m_pBannerTab->AddPage(m_pBannerDlg);
    return TRUE;
}

CDialog* CQueltDlg::PageAt(int index) const {
    CDialog* const pages[] = {m_pGeneralDlg, m_pServicesDlg, m_pIEDlg, m_pMediaPlayerDlg,
                              m_pUsabilityDlg};
    return index >= 0 && index < 5 ? pages[index] : nullptr;
}

void CQueltDlg::OnSelchangeTab(NMHDR*, LRESULT* pResult) {
    if (m_pTabDialog)
        m_pTabDialog->HideAllPages();
    // A page that was never created, or whose window failed, shows nothing.
    if (CDialog* pPage = PageAt(m_tabCtrl.GetCurSel()); pPage && pPage->m_hWnd) {
        pPage->SetWindowPos(nullptr, 0, 0, Px(kPageWidth), Px(kPageHeight), SWP_NOZORDER);
        pPage->ShowWindow(SW_SHOW);
    }
    *pResult = 0;
}

BOOL CQueltDlg::PreTranslateMessage(MSG* pMsg) {
    if (IsEscapeToConsume(pMsg))
        return TRUE;
    if (const int step = PageStep(*pMsg)) {
        SwitchPage(step);
        return TRUE;
    }
    return CDialog::PreTranslateMessage(pMsg);
}

// The tab control selects the tab and notifies TCN_SELCHANGE, as on a click.
// The pages wrap round at both ends.
void CQueltDlg::SwitchPage(int step) {
    const int count = m_tabCtrl.GetItemCount();
    if (count <= 0)
        return;
    const bool focusInPage = m_pTabDialog && IsChild(m_pTabDialog->m_hWnd, GetFocus());
    m_tabCtrl.SetCurFocus(((m_tabCtrl.GetCurSel() + step) % count + count) % count);
    if (!focusInPage)
        return;
    // The focus was on a box of the page that went: it goes to the first box
    // of the page shown, or to the tabs when that page has no window.
    CDialog* pPage = PageAt(m_tabCtrl.GetCurSel());
    HWND hFirst = pPage && pPage->m_hWnd && IsWindowVisible(pPage->m_hWnd)
                      ? GetNextDlgTabItem(pPage->m_hWnd, nullptr, FALSE)
                      : nullptr;
    SendMessage(WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(hFirst ? hFirst : m_tabCtrl.m_hWnd), TRUE);
}

bool CQueltDlg::DescribeControl(int id, AccessibleText& text) const {
    if (id != IDC_NOTICE || !m_picNotice.SurfaceDC())
        return false;
    text.name = ResourceString(IDS_NOTICE_NAME);
    return true;
}

void CQueltDlg::OnSysCommand(UINT nID, LPARAM) {
    if ((nID & 0xFFF0) == IDM_ABOUTBOX) {
        CAboutDlg dlgAbout;
        dlgAbout.DoModal();
    } else {
        Default();
    }
}

// Minimised, the window shows the application icon centred.
void CQueltDlg::OnPaint() {
    if (!IsIconic(m_hWnd)) {
        Default();
        return;
    }
    PAINTSTRUCT ps;
    HDC hdc = BeginPaint(m_hWnd, &ps);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(hdc));
    const int cxIcon = GetSystemMetrics(SM_CXICON);
    const int cyIcon = GetSystemMetrics(SM_CYICON);
    RECT rc;
    GetClientRect(m_hWnd, &rc);
    const int x = (rc.right - rc.left - cxIcon + 1) / 2;
    const int y = (rc.bottom - rc.top - cyIcon + 1) / 2;
    DrawIcon(hdc, x, y, m_hIcon);
    EndPaint(m_hWnd, &ps);
}

HCURSOR CQueltDlg::OnQueryDragIcon() {
    return static_cast<HCURSOR>(m_hIcon);
}

void CQueltDlg::OnBnClickedAbout() {
    CAboutDlg dlgAbout;
    dlgAbout.DoModal();
}

void CQueltDlg::OnBnClickedForum() {
    ShellOpen(kForumPageUrl, nullptr, SW_SHOW);
}
