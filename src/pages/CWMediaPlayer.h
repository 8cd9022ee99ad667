// The Media Player page: seven per-user preferences and one machine-wide
// policy.
#pragma once

#include "pages/TweakPage.h"

class CWMediaPlayer : public CTweakPage {
public:
    explicit CWMediaPlayer(CWnd* pParent);

protected:
    void DoDataExchange(CDataExchange* pDX) override;

    CButton m_chkNoLicenseAcquisition;
    CButton m_chkImportMp3;
    CButton m_chkNoAutoAddToLibrary;
    CButton m_chkNoMetadata;
    CButton m_chkNoUsageTracking;
    CButton m_chkNoMru;
    CButton m_chkNoCodecDownloads;
    CButton m_chkNoDrm;

    DECLARE_MESSAGE_MAP()
};
