// The Internet Explorer page: twelve per-user browser tweaks.
#pragma once

#include "pages/TweakPage.h"

class CIESettingsDlg : public CTweakPage {
public:
    explicit CIESettingsDlg(CWnd* pParent);

protected:
    void DoDataExchange(CDataExchange* pDX) override;

    CButton m_chkNoUpdates;
    CButton m_chkNoNegotiate;
    CButton m_chkMaxConnections;
    CButton m_chkPopupsInTabs;
    CButton m_chkClearCache;
    CButton m_chkNoActiveX;
    CButton m_chkNoJavaScript;
    CButton m_chkNoPhishingFilter;
    CButton m_chkNo404Search;
    CButton m_chkBlankHomePage;
    CButton m_chkNoDefaultPrompt;
    CButton m_chkNoInfoBarAlert;

    DECLARE_MESSAGE_MAP()
};
