#include "pages/ServicesSettingsDlg.h"

#include "resource.h"

// Every service follows one rule: "Start" = 2 (automatic) is checked; a
// check writes 2 and starts the service, an uncheck writes 3 (on demand) and
// stops it. The write always comes before the command.
#define SERVICE_KEY(s) "System\\CurrentControlSet\\Services\\" s
#define SERVICE_ROW(id, label, tooltip, s)                                                         \
    {                                                                                              \
        id, label, tooltip, {DwordIs(SERVICE_KEY(s), "Start", 0, HklmOnly, 2)},                    \
            {SetDword(HKLM, SERVICE_KEY(s), "Start", 2), RunHidden("net.exe", "START \"" s "\"")}, \
        {                                                                                          \
            SetDword(HKLM, SERVICE_KEY(s), "Start", 3), RunHidden("net.exe", "STOP \"" s "\"")     \
        }                                                                                          \
    }

// clang-format off
const TweakRow ServicesSettingsDlg::kTweaks[9] = {
    SERVICE_ROW(1003, "Error-Reporting", "Windows sending error-reports to Microsoft", "WerSvc"),
    SERVICE_ROW(1004, "Automatic Windows Updates", "Windows downloading and applying updates automatically", "wuauserv"),
    SERVICE_ROW(1005, "Windows Security Center", "Windows Security Center protecting your system", "wscsvc"),
    SERVICE_ROW(1007, "Time Synchronization", "Windows synchronizing your computer's clock online", "W32Time"),
    SERVICE_ROW(1012, "Universal Plug and Play", "Service for Universal Plug and Play (UPnP)", "upnphost"),
    SERVICE_ROW(1013, "UPnP Discovery Service", "Discovery of Universal Plug and Play (UPnP) devices on your network", "SSDPSRV"),
    SERVICE_ROW(1016, "RPC Locator", "Remote Procedure Call Locator", "RpcLocator"),
    SERVICE_ROW(1017, "Remote Registry Service", "Remote users accessing your Registry", "RemoteRegistry"),
    SERVICE_ROW(1021, "Windows Image Acquisition Service", "Windows Image Acquisition Service for importing images from scanners or cameras", "stisvc"),
};
// clang-format on

ServicesSettingsDlg::ServicesSettingsDlg(CWnd* pParent)
    : CTweakPage(IDD_SERVICES, pParent, kTweaks) {}

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
