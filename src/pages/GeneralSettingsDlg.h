// The General page: ZIP folders, password hashes, scripting, networking,
// memory and logon tweaks.
#pragma once

#include "pages/TweakPage.h"

class GeneralSettingsDlg : public CTweakPage {
public:
    explicit GeneralSettingsDlg(CWnd* pParent);

protected:
    void DoDataExchange(CDataExchange* pDX) override;

    CButton m_chkCompressedFolders;
    CButton m_chkLmHash;
    CButton m_chkScriptHost;
    CButton m_chkFileAssocWeb;
    CButton m_chkNullSession;
    CButton m_chkNetCrawling;
    CButton m_chkMediaSensing;
    CButton m_chkPrefetch;
    CButton m_chkFastShutdown;
    CButton m_chkPagefile;
    CButton m_chkLastUser;

    DECLARE_MESSAGE_MAP()
};
