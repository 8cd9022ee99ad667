// The main window: five tweak pages under a tab control, the banner strip,
// the About and Forum buttons, and the administrator notice.
#pragma once

#include "app/CTabDialog.h"
#include "framework/Controls.h"
#include "framework/Dpi.h"
#include "picture/CPictureEx.h"

class GeneralSettingsDlg;
class ServicesSettingsDlg;
class CIESettingsDlg;
class CWMediaPlayer;
class CUsabilityDlg;
class CBannerDlg;

class CQueltDlg : public CDialog {
public:
    CQueltDlg();
    ~CQueltDlg() override;

    BOOL OnInitDialog() override;
    BOOL PreTranslateMessage(MSG* pMsg) override;
    // The notice's words, while it shows them.
    bool DescribeControl(int id, AccessibleText& text) const override;

    BOOL InitContainers();
    BOOL CreatePages();
    BOOL CreateBanner();

    // The pages in tab order; null where set-up stopped early.
    CDialog* PageAt(int index) const;
    bool NoticeIsPlaying() const { return m_picNotice.IsPlaying(); }

protected:
    void DoDataExchange(CDataExchange* pDX) override;

    void OnSysCommand(UINT nID, LPARAM lParam);
    void OnPaint();
    HCURSOR OnQueryDragIcon();
    void OnSelchangeTab(NMHDR* pNMHDR, LRESULT* pResult);
    void OnBnClickedAbout();
    void OnBnClickedForum();

    HICON m_hIcon;
    HICON m_hSmallIcon;
    CTabCtrl m_tabCtrl;
    CTabDialog* m_pTabDialog = nullptr;
    CStatic m_stPageFrame;
    GeneralSettingsDlg* m_pGeneralDlg = nullptr;
    ServicesSettingsDlg* m_pServicesDlg = nullptr;
    CIESettingsDlg* m_pIEDlg = nullptr;
    CWMediaPlayer* m_pMediaPlayerDlg = nullptr;
    CUsabilityDlg* m_pUsabilityDlg = nullptr;
    CTabDialog* m_pBannerTab = nullptr;
    CBannerDlg* m_pBannerDlg = nullptr;
    CStatic m_stBannerFrame;
    CPictureEx m_picNotice;

    DECLARE_MESSAGE_MAP()

private:
    template <class Page> BOOL CreatePage(Page*& pPage, UINT nIDTemplate);
    void SwitchPage(int step);
    void PlaceContainer(CTabDialog& container, const CStatic& frame, int dx, int dy) const;
    int Px(int px) const { return ScaledPx(px, m_nDpi); }

    UINT m_nDpi = USER_DEFAULT_SCREEN_DPI;
};
