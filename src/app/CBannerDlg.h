// The banner strip: a picture that opens the home page, with a hand cursor
// over the whole strip.
#pragma once

#include "framework/Dialog.h"

class CBannerDlg : public CDialog {
public:
    explicit CBannerDlg(CWnd* pParent);

    BOOL PreTranslateMessage(MSG* pMsg) override;
    // The picture's words and what a click on it does.
    bool DescribeControl(int id, AccessibleText& text) const override;

protected:
    void OnStnClickedBanner();
    BOOL OnSetCursor(HWND hWnd, UINT nHitTest, UINT message);

    DECLARE_MESSAGE_MAP()
};
