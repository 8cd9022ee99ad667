#include "pages/CIESettingsDlg.h"

#include "resource.h"

CIESettingsDlg::CIESettingsDlg(CWnd* pParent)
    : CTweakPage(IDD_IEXPLORER, pParent, kIExplorerTweaks) {}

void CIESettingsDlg::DoDataExchange(CDataExchange* pDX) {
    DDX_Control(pDX, 1003, m_chkNoUpdates);
    DDX_Control(pDX, 1005, m_chkNoNegotiate);
    DDX_Control(pDX, 1006, m_chkMaxConnections);
    DDX_Control(pDX, 1007, m_chkPopupsInTabs);
    DDX_Control(pDX, 1008, m_chkClearCache);
    DDX_Control(pDX, 1012, m_chkNoActiveX);
    DDX_Control(pDX, 1013, m_chkNoJavaScript);
    DDX_Control(pDX, 1016, m_chkNoPhishingFilter);
    DDX_Control(pDX, 1018, m_chkNo404Search);
    DDX_Control(pDX, 1019, m_chkBlankHomePage);
    DDX_Control(pDX, 1020, m_chkNoDefaultPrompt);
    DDX_Control(pDX, 1021, m_chkNoInfoBarAlert);
}

BEGIN_MESSAGE_MAP(CIESettingsDlg, CTweakPage)
ON_TWEAK_CLICKED(1003)
ON_TWEAK_CLICKED(1005)
ON_TWEAK_CLICKED(1006)
ON_TWEAK_CLICKED(1007)
ON_TWEAK_CLICKED(1008)
ON_TWEAK_CLICKED(1012)
ON_TWEAK_CLICKED(1013)
ON_TWEAK_CLICKED(1016)
ON_TWEAK_CLICKED(1018)
ON_TWEAK_CLICKED(1019)
ON_TWEAK_CLICKED(1020)
ON_TWEAK_CLICKED(1021)
END_MESSAGE_MAP()
