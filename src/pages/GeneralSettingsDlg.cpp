#include "pages/GeneralSettingsDlg.h"

#include "resource.h"

GeneralSettingsDlg::GeneralSettingsDlg(CWnd* pParent)
    : CTweakPage(IDD_GENERAL, pParent, kGeneralTweaks) {}

void GeneralSettingsDlg::DoDataExchange(CDataExchange* pDX) {
    DDX_Control(pDX, 1003, m_chkCompressedFolders);
    DDX_Control(pDX, 1006, m_chkLmHash);
    DDX_Control(pDX, 1007, m_chkScriptHost);
    DDX_Control(pDX, 1009, m_chkFileAssocWeb);
    DDX_Control(pDX, 1010, m_chkNullSession);
    DDX_Control(pDX, 1011, m_chkNetCrawling);
    DDX_Control(pDX, 1013, m_chkMediaSensing);
    DDX_Control(pDX, 1015, m_chkPrefetch);
    DDX_Control(pDX, 1016, m_chkFastShutdown);
    DDX_Control(pDX, 1017, m_chkPagefile);
    DDX_Control(pDX, 1020, m_chkLastUser);
}

BEGIN_MESSAGE_MAP(GeneralSettingsDlg, CTweakPage)
ON_TWEAK_CLICKED(1003)
ON_TWEAK_CLICKED(1006)
ON_TWEAK_CLICKED(1007)
ON_TWEAK_CLICKED(1009)
ON_TWEAK_CLICKED(1010)
ON_TWEAK_CLICKED(1011)
ON_TWEAK_CLICKED(1013)
ON_TWEAK_CLICKED(1015)
ON_TWEAK_CLICKED(1016)
ON_TWEAK_CLICKED(1017)
ON_TWEAK_CLICKED(1020)
END_MESSAGE_MAP()
