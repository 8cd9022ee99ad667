// The Usability page: shell tweaks, among them a Notepad verb in every file's
// context menu whose state lives in the program's own store.
#pragma once

#include "pages/TweakPage.h"

class CUsabilityDlg : public CTweakPage {
public:
    explicit CUsabilityDlg(CWnd* pParent);

protected:
    void DoDataExchange(CDataExchange* pDX) override;

    CButton m_chkNoDiskSpaceWarning;
    CButton m_chkNotepadVerb;
    CButton m_chkNoCleanupWizard;
    CButton m_chkNoTaskGrouping;
    CButton m_chkClassicStartMenu;
    CButton m_chkClassicLogon;
    CButton m_chkShowHidden;
    CButton m_chkShowExtensions;
    CButton m_chkFullPath;
    CButton m_chkNoThumbnailCache;

    DECLARE_MESSAGE_MAP()
};
