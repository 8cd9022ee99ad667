// What every tweak page shares: its checkboxes are its state. At creation it
// reads each tweak's state and checks the boxes that match; a click applies
// that one tweak at once.
#pragma once

#include "framework/Controls.h"
#include "framework/Dialog.h"
#include "tweaks/Tweaks.h"

#include <span>

class CTweakPage : public CDialog {
public:
    CTweakPage(UINT nIDTemplate, CWnd* pParent, std::span<const TweakRow> rows);
    ~CTweakPage() override;

    BOOL OnInitDialog() override;
    // Escape and Enter on a page do nothing: the main window's dialog
    // manager would take them for its Cancel and its default button.
    BOOL PreTranslateMessage(MSG* pMsg) override;
    // A box's description is its tooltip's text.
    bool DescribeControl(int id, AccessibleText& text) const override;

    std::span<const TweakRow> Rows() const { return m_rows; }

    // True when the table, the message map and the data exchange name the
    // same checkboxes: each id is written in all three.
    bool BoxIdsAgree();

protected:
    void InitToolTips();
    void LoadTweakStates();

    // The click handler of checkbox Id: every checkbox has its own.
    template <int Id> void OnTweakClicked() { ApplyTweak(Id); }
    void ApplyTweak(int id);

    CToolTipCtrl* m_pToolTip = nullptr;

private:
    std::span<const TweakRow> m_rows;
};

#define ON_TWEAK_CLICKED(id) ON_BN_CLICKED(id, &ThisClass::OnTweakClicked<id>)
