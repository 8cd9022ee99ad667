// All five pages at once: every box clicked on and off touches nothing in the
// registry but the values the table names (and the keys on the way to them),
// and starts nothing but its own commands.
#include "pages/CIESettingsDlg.h"
#include "pages/CUsabilityDlg.h"
#include "pages/CWMediaPlayer.h"
#include "pages/GeneralSettingsDlg.h"
#include "pages/ServicesSettingsDlg.h"
#include "resource.h"
#include "support/Cells.h"

#include <gtest/gtest.h>

namespace {

// Every path a cell of the table names: values, and keys removed whole.
const std::set<std::string>& Named() {
    static const std::set<std::string> named = [] {
        std::set<std::string> paths;
        for (const expect::Box& box : expect::Boxes())
            for (const Changes* cell : {&box.onCheck, &box.onUncheck})
                for (const auto& change : *cell)
                    paths.insert(Folded(change.first));
        return paths;
    }();
    return named;
}

// Whether a changed entry of the snapshot is one the table names: a named
// value, a key of one, a key on the way to one, or inside a key removed whole.
bool Allowed(const std::string& path) {
    const std::string folded = Folded(path);
    for (const std::string& named : Named()) {
        if (named.back() == '\\' && folded.starts_with(named))
            return true;
        if (KeyEnd(folded) == folded.size() && named.substr(0, KeyEnd(named)).starts_with(folded))
            return true;
        if (folded == named)
            return true;
    }
    return false;
}

// Neighbours that must survive: another value in every named key, the named
// values under the other root, and a sibling of the Notepad verb.
void PutNeighbours() {
    for (const expect::Box& box : expect::Boxes())
        for (const Changes* cell : {&box.onCheck, &box.onUncheck})
            for (const auto& [path, value] : *cell) {
                if (path.starts_with("HKCR\\") || path.back() == '\\')
                    continue;
                Put(path.substr(0, KeyEnd(path)) + ":Neighbour", Sz("kept"));
                Put(UnderOtherRoot(path), Dword(7));
            }
    Put("HKCR\\*\\shell\\open\\command\\:", Sz("viewer.exe \"%1\""));
}

TEST(AllTweaksTest, FiftyBoxesOnAndOffTouchOnlyWhatTheTablesName) {
    for (bool neighbours : {false, true}) {
        SCOPED_TRACE(neighbours ? "among neighbours" : "in an empty registry");
        RegistrySandbox sandbox;
        ShellRecorder shell;
        if (neighbours)
            PutNeighbours();
        const Snapshot before = sandbox.Snapshot();
        HostedPage<GeneralSettingsDlg> general(IDD_GENERAL);
        HostedPage<ServicesSettingsDlg> services(IDD_SERVICES);
        HostedPage<CIESettingsDlg> ie(IDD_IEXPLORER);
        HostedPage<CWMediaPlayer> media(IDD_MEDIAPLAYER);
        HostedPage<CUsabilityDlg> usability(IDD_USABILITY);
        const HWND pages[] = {general.hWnd, services.hWnd, ie.hWnd, media.hWnd, usability.hWnd};
        int boxes = 0;
        for (int page = 0; page < 5; ++page) {
            ASSERT_TRUE(pages[page]);
            for (HWND hBox = GetWindow(pages[page], GW_CHILD); hBox;
                 hBox = GetWindow(hBox, GW_HWNDNEXT)) {
                const int id = GetDlgCtrlID(hBox);
                ++boxes;
                for (int click = 0; click < 2; ++click) {
                    const bool was = IsChecked(pages[page], id);
                    Click(pages[page], id);
                    ASSERT_NE(IsChecked(pages[page], id), was) << page << "/" << id;
                    EXPECT_EQ(shell.Take(), Requests(expect::BoxAt(page, id).Starts(!was)))
                        << page << "/" << id;
                }
            }
        }
        EXPECT_EQ(boxes, 50);
        const Snapshot after = sandbox.Snapshot();
        EXPECT_FALSE(after == before);
        std::set<std::string> paths;
        for (const Snapshot* snapshot : {&before, &after})
            for (const auto& entry : *snapshot)
                paths.insert(entry.first);
        for (const std::string& path : paths) {
            const auto was = before.find(path), is = after.find(path);
            const bool changed = (was == before.end()) != (is == after.end()) ||
                                 (was != before.end() && !(was->second == is->second));
            EXPECT_TRUE(!changed || Allowed(path)) << path << " changed";
        }
    }
}

} // namespace
