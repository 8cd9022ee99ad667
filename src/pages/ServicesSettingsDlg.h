// The Services page: a checked box starts its service automatically, an
// unchecked one on demand; a click also starts or stops it at once.
#pragma once

#include "pages/TweakPage.h"

class ServicesSettingsDlg : public CTweakPage {
public:
    explicit ServicesSettingsDlg(CWnd* pParent);

protected:
    void DoDataExchange(CDataExchange* pDX) override;

    CButton m_chkErrorReporting;
    CButton m_chkAutoUpdates;
    CButton m_chkSecurityCenter;
    CButton m_chkTimeSync;
    CButton m_chkUpnpHost;
    CButton m_chkSsdpDiscovery;
    CButton m_chkRpcLocator;
    CButton m_chkRemoteRegistry;
    CButton m_chkImageAcquisition;

    DECLARE_MESSAGE_MAP()
};
