#include "pages/CUsabilityDlg.h"

#include "resource.h"

CUsabilityDlg::CUsabilityDlg(CWnd* pParent)
    : CTweakPage(IDD_USABILITY, pParent, kUsabilityTweaks) {}

// Bound in member order, which differs from the template's.
void CUsabilityDlg::DoDataExchange(CDataExchange* pDX) {
    DDX_Control(pDX, 1004, m_chkNoDiskSpaceWarning);
    DDX_Control(pDX, 1006, m_chkNotepadVerb);
    DDX_Control(pDX, 1009, m_chkNoCleanupWizard);
    DDX_Control(pDX, 1010, m_chkNoTaskGrouping);
    DDX_Control(pDX, 1011, m_chkClassicStartMenu);
    DDX_Control(pDX, 1012, m_chkClassicLogon);
    DDX_Control(pDX, 1018, m_chkShowHidden);
    DDX_Control(pDX, 1019, m_chkShowExtensions);
    DDX_Control(pDX, 1014, m_chkFullPath);
    DDX_Control(pDX, 1015, m_chkNoThumbnailCache);
}

BEGIN_MESSAGE_MAP(CUsabilityDlg, CTweakPage)
ON_TWEAK_CLICKED(1004)
ON_TWEAK_CLICKED(1006)
ON_TWEAK_CLICKED(1009)
ON_TWEAK_CLICKED(1010)
ON_TWEAK_CLICKED(1011)
ON_TWEAK_CLICKED(1014)
ON_TWEAK_CLICKED(1015)
ON_TWEAK_CLICKED(1012)
ON_TWEAK_CLICKED(1018)
ON_TWEAK_CLICKED(1019)
END_MESSAGE_MAP()
