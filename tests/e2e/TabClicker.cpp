// tab_clicker N: clicks tab N (0 to 4) of the running program's window, as
// a user would, and waits until the page is drawn. For the screenshots.
#include "e2e/Driver.h"

#include <commctrl.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    const int tab = argc == 2 ? atoi(argv[1]) : -1;
    if (tab < 0 || tab >= e2e::kPageCount) {
        fprintf(stderr, "usage: tab_clicker 0-%d\n", e2e::kPageCount - 1);
        return 2;
    }
    HWND hMain = e2e::WaitForMainWindow(0, 30000);
    if (!hMain) {
        fprintf(stderr, "no window \"Morvane\"\n");
        return 1;
    }
    HWND hTab = GetDlgItem(hMain, e2e::kTabControl);
    if (!e2e::ClickTab(hTab, tab) || e2e::Send(hTab, TCM_GETCURSEL, 0, 0) != tab) {
        fprintf(stderr, "the click on tab %d did not select it\n", tab);
        return 1;
    }
    // Painted before this returns, so a capture right after shows the page.
    RedrawWindow(hMain, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    return 0;
}
