#include "pages/CWMediaPlayer.h"

#include "resource.h"

CWMediaPlayer::CWMediaPlayer(CWnd* pParent)
    : CTweakPage(IDD_MEDIAPLAYER, pParent, kMediaPlayerTweaks) {}

void CWMediaPlayer::DoDataExchange(CDataExchange* pDX) {
    DDX_Control(pDX, 1003, m_chkNoLicenseAcquisition);
    DDX_Control(pDX, 1004, m_chkImportMp3);
    DDX_Control(pDX, 1006, m_chkNoAutoAddToLibrary);
    DDX_Control(pDX, 1007, m_chkNoMetadata);
    DDX_Control(pDX, 1008, m_chkNoUsageTracking);
    DDX_Control(pDX, 1011, m_chkNoMru);
    DDX_Control(pDX, 1012, m_chkNoCodecDownloads);
    DDX_Control(pDX, 1013, m_chkNoDrm);
}

BEGIN_MESSAGE_MAP(CWMediaPlayer, CTweakPage)
ON_TWEAK_CLICKED(1003)
ON_TWEAK_CLICKED(1004)
ON_TWEAK_CLICKED(1006)
ON_TWEAK_CLICKED(1007)
ON_TWEAK_CLICKED(1008)
ON_TWEAK_CLICKED(1011)
ON_TWEAK_CLICKED(1012)
ON_TWEAK_CLICKED(1013)
END_MESSAGE_MAP()
