#include "pages/ServicesSettingsDlg.h"

#include "resource.h"

ServicesSettingsDlg::ServicesSettingsDlg(CWnd* pParent)
    : CTweakPage(IDD_SERVICES, pParent, kServicesTweaks) {}

void ServicesSettingsDlg::DoDataExchange(CDataExchange* pDX) {
    DDX_Control(pDX, 1003, m_chkErrorReporting);
    DDX_Control(pDX, 1004, m_chkAutoUpdates);
    DDX_Control(pDX, 1005, m_chkSecurityCenter);
    DDX_Control(pDX, 1007, m_chkTimeSync);
    DDX_Control(pDX, 1012, m_chkUpnpHost);
    DDX_Control(pDX, 1013, m_chkSsdpDiscovery);
    DDX_Control(pDX, 1016, m_chkRpcLocator);
    DDX_Control(pDX, 1017, m_chkRemoteRegistry);
    DDX_Control(pDX, 1021, m_chkImageAcquisition);
}

BEGIN_MESSAGE_MAP(ServicesSettingsDlg, CTweakPage)
ON_TWEAK_CLICKED(1003)
ON_TWEAK_CLICKED(1004)
ON_TWEAK_CLICKED(1005)
ON_TWEAK_CLICKED(1007)
ON_TWEAK_CLICKED(1012)
ON_TWEAK_CLICKED(1013)
ON_TWEAK_CLICKED(1016)
ON_TWEAK_CLICKED(1017)
ON_TWEAK_CLICKED(1021)
END_MESSAGE_MAP()
