#include "pages/TweakPage.h"

#include "framework/Accessible.h"
#include "system/Executor.h"

#include <algorithm>
#include <cassert>
#include <vector>

namespace {
constexpr int kTipWidth = 250;       // wider tips wrap
constexpr int kTipAutoPopMs = 20000; // a tip stays up to 20 seconds
} // namespace

CTweakPage::CTweakPage(UINT nIDTemplate, CWnd* pParent, std::span<const TweakRow> rows)
    : CDialog(nIDTemplate, pParent), m_rows(rows) {}

CTweakPage::~CTweakPage() {
    delete m_pToolTip;
}

BOOL CTweakPage::OnInitDialog() {
    CDialog::OnInitDialog();
    // Tooltips attach to bound buttons and exist before the states load.
    InitToolTips();
    LoadTweakStates();
    assert(BoxIdsAgree());
    return TRUE;
}

bool CTweakPage::BoxIdsAgree() {
    std::vector<int> table, clicks, bound;
    for (const TweakRow& row : m_rows)
        table.push_back(row.id);
    for (const MessageMapEntry* e = GetMessageMap()->entries; e->sig != MsgSig::end; ++e)
        if (e->message == WM_COMMAND && e->code == BN_CLICKED)
            clicks.push_back(static_cast<int>(e->id));
    CDataExchange listing{this, &bound};
    DoDataExchange(&listing);
    for (auto* ids : {&table, &clicks, &bound})
        std::sort(ids->begin(), ids->end());
    return table == clicks && table == bound;
}

void CTweakPage::InitToolTips() {
    m_pToolTip = new CToolTipCtrl;
    if (!m_pToolTip->Create(this))
        return; // the page works without tooltips
    for (const TweakRow& row : m_rows)
        m_pToolTip->AddTool(GetDlgItem(row.id), row.tooltip);
    m_pToolTip->SendMessage(TTM_SETMAXTIPWIDTH, 0, kTipWidth);
    m_pToolTip->SendMessage(TTM_SETDELAYTIME, TTDT_AUTOPOP, kTipAutoPopMs);
    m_pToolTip->SendMessage(TTM_ACTIVATE, TRUE);
}

// Checking a box this way sends no click, so nothing is applied at start.
void CTweakPage::LoadTweakStates() {
    for (const TweakRow& row : m_rows)
        if (Holds(row.checkedWhen))
            CheckDlgButton(m_hWnd, row.id, BST_CHECKED);
}

void CTweakPage::ApplyTweak(int id) {
    for (const TweakRow& row : m_rows) {
        if (row.id != id)
            continue;
        // Programs started are left running and no result is looked at.
        const bool checked = IsDlgButtonChecked(m_hWnd, id) == BST_CHECKED;
        Executor(Executor::StartAndLeave)
            .Perform(checked ? row.onCheck : row.onUncheck, Policy::EveryEffect);
        return;
    }
}

bool CTweakPage::DescribeControl(int id, AccessibleText& text) const {
    for (const TweakRow& row : m_rows)
        if (row.id == id) {
            text.description = row.tooltip;
            return true;
        }
    return false;
}

BOOL CTweakPage::PreTranslateMessage(MSG* pMsg) {
    if (IsEscapeToConsume(pMsg) || (pMsg->message == WM_KEYDOWN && pMsg->wParam == VK_RETURN))
        return TRUE;
    // Every message is relayed; the tooltip acts on the mouse messages.
    if (m_pToolTip && m_pToolTip->m_hWnd)
        m_pToolTip->RelayEvent(pMsg);
    return CDialog::PreTranslateMessage(pMsg);
}
