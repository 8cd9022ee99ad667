#include "app/CQueltApp.h"

#include "app/CQueltDlg.h"
#include "skin/Skin.h"

BOOL CQueltApp::InitInstance() {
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_WIN95_CLASSES};
    InitCommonControlsEx(&icc);

    SkinInitialize(AfxGetInstanceHandle(), "SCRIBBLE", nullptr, nullptr);
    SkinLoadFromResource(AfxGetInstanceHandle(), "DEFAULT", "SKINMAGIC");
    SkinApplyToDialogs("Dialog");

    CQueltDlg dlg;
    m_pMainWnd = &dlg;
    dlg.DoModal();
    m_pMainWnd = nullptr;
    return FALSE; // no message loop of our own: the program ends here
}
