// Each checkbox id is written in a page's table, its message map and its data
// exchange; the three must name the same boxes.
#include "pages/CIESettingsDlg.h"
#include "pages/CUsabilityDlg.h"
#include "pages/CWMediaPlayer.h"
#include "pages/GeneralSettingsDlg.h"
#include "pages/ServicesSettingsDlg.h"
#include "resource.h"
#include "support/PageHost.h"

#include <gtest/gtest.h>

namespace {

template <class Page> void ExpectIdsAgree(UINT templateId) {
    RegistrySandbox sandbox;
    HostedPage<Page> host(templateId);
    ASSERT_TRUE(host.hWnd);
    EXPECT_TRUE(host.page->BoxIdsAgree()) << "template " << templateId;
}

TEST(PageBindingTest, TableMessageMapAndDataExchangeNameTheSameBoxes) {
    ExpectIdsAgree<GeneralSettingsDlg>(IDD_GENERAL);
    ExpectIdsAgree<ServicesSettingsDlg>(IDD_SERVICES);
    ExpectIdsAgree<CIESettingsDlg>(IDD_IEXPLORER);
    ExpectIdsAgree<CWMediaPlayer>(IDD_MEDIAPLAYER);
    ExpectIdsAgree<CUsabilityDlg>(IDD_USABILITY);
}

} // namespace
