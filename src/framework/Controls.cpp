#include "framework/Controls.h"

#include "framework/App.h"

LONG CTabCtrl::InsertItem(int nItem, const char* text) const {
    TCITEMA item{};
    item.mask = TCIF_TEXT;
    item.pszText = const_cast<char*>(text);
    return static_cast<LONG>(SendMessage(TCM_INSERTITEMA, nItem, reinterpret_cast<LPARAM>(&item)));
}

CToolTipCtrl::~CToolTipCtrl() {
    // Owned by a top-level window, it may have gone with it already.
    if (m_hWnd && IsWindow(m_hWnd))
        DestroyWindow(m_hWnd);
}

BOOL CToolTipCtrl::Create(CWnd* pParentWnd, DWORD dwStyle) {
    m_hWnd = CreateWindowExA(0, TOOLTIPS_CLASSA, nullptr, WS_POPUP | dwStyle, CW_USEDEFAULT,
                             CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                             pParentWnd ? pParentWnd->m_hWnd : nullptr, nullptr,
                             AfxGetInstanceHandle(), nullptr);
    return m_hWnd != nullptr;
}

BOOL CToolTipCtrl::AddTool(HWND hControl, const char* text) const {
    if (!hControl)
        return FALSE;
    TTTOOLINFOA ti{};
    ti.cbSize = sizeof(ti);
    ti.uFlags = TTF_IDISHWND;
    ti.hwnd = GetParent(hControl);
    ti.uId = reinterpret_cast<UINT_PTR>(hControl);
    ti.hinst = AfxGetResourceHandle();
    ti.lpszText = const_cast<char*>(text);
    return static_cast<BOOL>(SendMessage(TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&ti)));
}
