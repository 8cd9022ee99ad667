#include "app/CTabDialog.h"

CTabDialog::CTabDialog(UINT nIDTemplate, CWnd* pParent) : CDialog(nIDTemplate, pParent) {}

CTabDialog::~CTabDialog() {
    m_mapPages.clear();
}

BOOL CTabDialog::AddPage(CDialog* pPage) {
    m_mapPages[m_nPageCount++] = pPage;
    return TRUE;
}

void CTabDialog::LayoutPages(int cx, int cy) {
    for (int i = 0; i < m_nPageCount; ++i) {
        const auto it = m_mapPages.find(i);
        if (it == m_mapPages.end() || !it->second)
            break;
        it->second->SetWindowPos(nullptr, 0, 0, cx, cy, SWP_NOZORDER);
        if (i == 0)
            it->second->ShowWindow(SW_SHOW);
    }
}

void CTabDialog::HideAllPages() {
    for (int i = 0; i < m_nPageCount; ++i)
        if (const auto it = m_mapPages.find(i); it != m_mapPages.end() && it->second)
            it->second->ShowWindow(SW_HIDE);
}
