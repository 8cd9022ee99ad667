#include "framework/Dialog.h"

#include "framework/App.h"

void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl) {
    if (pDX->m_pListedIds) {
        pDX->m_pListedIds->push_back(nIDC);
        return;
    }
    if (rControl.m_hWnd)
        return;
    if (HWND hCtl = pDX->m_pDlgWnd->GetDlgItem(nIDC))
        rControl.BindControl(hCtl);
}

BEGIN_MESSAGE_MAP(CDialog, CWnd)
ON_BN_CLICKED(IDOK, &CDialog::OnOK)
ON_BN_CLICKED(IDCANCEL, &CDialog::OnCancel)
END_MESSAGE_MAP()

CDialog::CDialog(UINT nIDTemplate, CWnd* pParentWnd)
    : m_nIDTemplate(nIDTemplate), m_pParentWnd(pParentWnd) {}

CDialog::~CDialog() {
    if (m_hWnd)
        DestroyWindow(m_hWnd);
}

BOOL CDialog::Create(UINT nIDTemplate, CWnd* pParentWnd) {
    m_nIDTemplate = nIDTemplate;
    m_pParentWnd = pParentWnd;
    HWND hWnd = CreateDialogParamA(AfxGetResourceHandle(), MAKEINTRESOURCEA(nIDTemplate),
                                   pParentWnd ? pParentWnd->m_hWnd : nullptr, &CDialog::DialogProc,
                                   reinterpret_cast<LPARAM>(this));
    if (hWnd && (GetWindowLongA(hWnd, GWL_STYLE) & WS_CHILD))
        SetWindowLongA(hWnd, GWL_EXSTYLE, GetWindowLongA(hWnd, GWL_EXSTYLE) | WS_EX_CONTROLPARENT);
    return hWnd != nullptr;
}

INT_PTR CDialog::DoModal() {
    // Without a parent the owner is the application's main window, or else
    // the active window, as the modal box of a top-level window.
    HWND hOwner = m_pParentWnd ? m_pParentWnd->m_hWnd : nullptr;
    if (!hOwner) {
        CWnd* pMain = AfxGetMainWnd();
        hOwner = pMain && pMain != this && pMain->m_hWnd ? pMain->m_hWnd : GetActiveWindow();
    }
    if (hOwner)
        hOwner = GetAncestor(hOwner, GA_ROOT);

    m_bModal = true;
    m_bEndModal = false;
    m_nModalResult = -1;
    HWND hWnd = CreateDialogParamA(AfxGetResourceHandle(), MAKEINTRESOURCEA(m_nIDTemplate), hOwner,
                                   &CDialog::DialogProc, reinterpret_cast<LPARAM>(this));
    if (!hWnd) {
        m_bModal = false;
        return -1;
    }
    const bool disableOwner = hOwner && IsWindowEnabled(hOwner);
    if (disableOwner)
        EnableWindow(hOwner, FALSE);
    if (!m_bEndModal) {
        ::ShowWindow(hWnd, SW_SHOW);
        RunModalLoop();
    }
    // The owner is enabled again before the box goes, so that activation
    // returns to it.
    if (disableOwner)
        EnableWindow(hOwner, TRUE);
    if (hOwner && GetActiveWindow() == hWnd)
        SetActiveWindow(hOwner);
    if (m_hWnd)
        DestroyWindow(m_hWnd);
    m_bModal = false;
    return m_nModalResult;
}

void CDialog::EndDialog(int nResult) {
    m_nModalResult = nResult;
    if (m_bModal) {
        m_bEndModal = true;
        ::ShowWindow(m_hWnd, SW_HIDE);
        PostMessageA(m_hWnd, WM_NULL, 0, 0); // wakes the loop
    } else if (m_hWnd) {
        ::ShowWindow(m_hWnd, SW_HIDE);
    }
}

void CDialog::RunModalLoop() {
    MSG msg;
    while (!m_bEndModal && m_hWnd) {
        const BOOL got = GetMessageA(&msg, nullptr, 0, 0);
        if (got == 0) {
            PostQuitMessage(static_cast<int>(msg.wParam)); // leave WM_QUIT for an outer loop
            break;
        }
        if (got == -1)
            break;
        if (PreTranslateInTree(msg))
            continue;
        // This dialog's manager handles the keys of its whole tree.
        if (m_hWnd && IsReachable(msg.hwnd) && IsDialogMessageA(m_hWnd, &msg))
            continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

// The dialog manager looks for a mnemonic by walking from the key's window
// round the dialog and back to it, descending only into visible, enabled
// windows: for a window inside a hidden or disabled one (a box on a hidden
// page) it would never come back.
bool CDialog::IsReachable(HWND hWnd) const {
    if (hWnd == m_hWnd)
        return true;
    if (!hWnd || !IsChild(m_hWnd, hWnd))
        return false;
    for (HWND h = GetParent(hWnd); h != m_hWnd; h = GetParent(h))
        if ((GetWindowLongA(h, GWL_STYLE) & (WS_VISIBLE | WS_DISABLED)) != WS_VISIBLE)
            return false;
    return true;
}

// From the message's window up to its top-level window, each of our windows
// may take the message first.
bool CDialog::PreTranslateInTree(MSG& msg) const {
    for (HWND h = msg.hwnd; h;) {
        if (CWnd* pWnd = FromHandlePermanent(h); pWnd && pWnd->PreTranslateMessage(&msg))
            return true;
        if (h == m_hWnd || !(GetWindowLongA(h, GWL_STYLE) & WS_CHILD))
            break;
        h = GetParent(h);
    }
    return false;
}

BOOL CDialog::UpdateData() {
    CDataExchange dx{this};
    DoDataExchange(&dx);
    return TRUE;
}

BOOL CDialog::OnInitDialog() {
    UpdateData();
    return TRUE;
}

void CDialog::OnOK() {
    UpdateData();
    EndDialog(IDOK);
}

bool CDialog::IsEscapeToConsume(const MSG* pMsg) const {
    if (pMsg->message != WM_KEYDOWN || pMsg->wParam != VK_ESCAPE)
        return false;
    HWND hCancel = GetDlgItem(IDCANCEL);
    return !hCancel || IsWindowEnabled(hCancel);
}

void CDialog::OnCancel() {
    EndDialog(IDCANCEL);
}

void CDialog::CenterOverOwner() const {
    RECT rc, area;
    ::GetWindowRect(m_hWnd, &rc);
    HWND hOwner = GetWindow(m_hWnd, GW_OWNER);
    if (hOwner && IsWindowVisible(hOwner) && !IsIconic(hOwner)) {
        ::GetWindowRect(hOwner, &area);
    } else {
        MONITORINFO mi{sizeof(mi)};
        GetMonitorInfoA(MonitorFromWindow(m_hWnd, MONITOR_DEFAULTTOPRIMARY), &mi);
        area = mi.rcWork;
    }
    const int w = rc.right - rc.left, h = rc.bottom - rc.top;
    const int x = area.left + (area.right - area.left - w) / 2;
    const int y = area.top + (area.bottom - area.top - h) / 2;
    ::SetWindowPos(m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

INT_PTR CALLBACK CDialog::DialogProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_INITDIALOG) {
        auto* self = reinterpret_cast<CDialog*>(lParam);
        SetWindowLongPtrA(hWnd, DWLP_USER, lParam);
        self->AttachPermanent(hWnd);
        RECT before, after;
        ::GetWindowRect(hWnd, &before);
        const BOOL result = self->OnInitDialog();
        // A top-level dialog stands at its template position while it
        // initialises and is centred afterwards, unless it moved itself.
        ::GetWindowRect(hWnd, &after);
        if (!(GetWindowLongA(hWnd, GWL_STYLE) & WS_CHILD) && before.left == after.left &&
            before.top == after.top)
            self->CenterOverOwner();
        return result;
    }
    auto* self = reinterpret_cast<CDialog*>(GetWindowLongPtrA(hWnd, DWLP_USER));
    if (!self)
        return FALSE;
    if (msg == WM_NCDESTROY) {
        self->DetachPermanent();
        SetWindowLongPtrA(hWnd, DWLP_USER, 0);
        return FALSE;
    }
    LRESULT result = 0;
    if (!self->OnWndMsg(msg, wParam, lParam, result))
        return FALSE;
    // A dialog procedure returns the answer to these itself; to the others
    // through DWLP_MSGRESULT.
    if (msg == WM_QUERYDRAGICON)
        return static_cast<INT_PTR>(result);
    SetWindowLongPtrA(hWnd, DWLP_MSGRESULT, result);
    return TRUE;
}
