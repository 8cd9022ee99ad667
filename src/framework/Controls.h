// Holders of template controls and of the page tooltips.
#pragma once

#include "framework/Wnd.h"

class CButton : public CWnd {};

class CStatic : public CWnd {};

class CTabCtrl : public CWnd {
public:
    LONG InsertItem(int nItem, const char* text) const;
    int GetCurSel() const { return static_cast<int>(SendMessage(TCM_GETCURSEL)); }
    int GetItemCount() const { return static_cast<int>(SendMessage(TCM_GETITEMCOUNT)); }
    // Selects the tab as a click on it does: the control notifies its parent.
    void SetCurFocus(int nItem) const { SendMessage(TCM_SETCURFOCUS, nItem); }
};

class CToolTipCtrl : public CWnd {
public:
    ~CToolTipCtrl() override;
    // A popup tooltip window owned by pParentWnd.
    BOOL Create(CWnd* pParentWnd, DWORD dwStyle = 0);
    // The tool is the control's own window, its text a fixed string.
    BOOL AddTool(HWND hControl, const char* text) const;
    void RelayEvent(MSG* pMsg) const {
        SendMessage(TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(pMsg));
    }
};
