// The banner strip: a picture that opens the home page, with a hand cursor
// over the whole strip.
#pragma once

#include "framework/Dialog.h"

class CBannerDlg : public CDialog {
public:
    explicit CBannerDlg(CWnd* pParent);

    BOOL PreTranslateMessage(MSG* pMsg) override;

protected:
    void OnStnClickedBanner();
    BOOL OnSetCursor(HWND hWnd, UINT nHitTest, UINT message);

    DECLARE_MESSAGE_MAP()
};
