// Dialogs from resource templates: modeless children with Create, modal ones
// with DoModal and our own message loop.
#pragma once

#include "framework/Wnd.h"

#include <vector>

class CDialog;

// Binds members to template controls; nothing else is exchanged.
struct CDataExchange {
    CDialog* m_pDlgWnd;
    // When set, the exchange binds nothing and only lists the control ids.
    std::vector<int>* m_pListedIds = nullptr;
};

void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl);

class CDialog : public CWnd {
public:
    explicit CDialog(UINT nIDTemplate, CWnd* pParentWnd = nullptr);
    ~CDialog() override;

    // A modeless child dialog from the template. It is a control parent: its
    // controls join the tab order of the dialog it sits in, whose dialog
    // manager handles the keys of the whole tree.
    BOOL Create(UINT nIDTemplate, CWnd* pParentWnd);
    // A modal dialog; returns the value given to EndDialog, or -1 when the
    // window could not be created.
    INT_PTR DoModal();
    void EndDialog(int nResult);

    // Binds the members to their controls (nothing else is exchanged).
    BOOL UpdateData();

    virtual BOOL OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();

protected:
    virtual void DoDataExchange(CDataExchange*) {}

    // Escape never closes or hides the program's main window: its dialogs
    // consume the key unless they have a disabled Cancel button.
    bool IsEscapeToConsume(const MSG* pMsg) const;

    UINT m_nIDTemplate;
    CWnd* m_pParentWnd;

    DECLARE_MESSAGE_MAP()

private:
    static INT_PTR CALLBACK DialogProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam);
    void RunModalLoop();
    bool PreTranslateInTree(MSG& msg) const;
    bool IsReachable(HWND hWnd) const;
    void CenterOverOwner() const;

    bool m_bModal = false;
    bool m_bEndModal = false;
    INT_PTR m_nModalResult = -1;
};
