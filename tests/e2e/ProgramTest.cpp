// The real morvane.exe, started as its own process with the rights Wine
// gives every process: the window a user meets, every tab and every box of
// every page, the commands the boxes start, "Save && Exit" ending the
// process and a second start showing what the first one left.
#include "e2e/Harness.h"

#include <gtest/gtest.h>

#include <commctrl.h>

namespace e2e {
namespace {

constexpr SIZE kPageAtStart = {490, 275};
constexpr SIZE kPageAfterTabChange = {497, 275};

// Only page `shown` is visible.
void ExpectOnlyVisible(const std::array<HWND, kPageCount>& pages, int shown) {
    for (int i = 0; i < kPageCount; ++i)
        EXPECT_EQ(IsWindowVisible(pages[i]) != FALSE, i == shown) << "page " << i;
}

// Per user and machine-wide settings as boxes show them at the first start
// after PreparedValues(), and what is left checked at the next start after
// each box was clicked on and off.
const std::set<BoxKey> kCheckedAtFirstStart = {
    {0, 1006}, {0, 1007}, {0, 1009}, {0, 1011}, {0, 1013}, {0, 1015}, {0, 1016}, {1, 1007},
    {2, 1003}, {2, 1013}, {2, 1019}, {3, 1003}, {3, 1011}, {4, 1006}, {4, 1012}, {4, 1019}};
// Prefetch is read per user first and written machine-wide; the licence box
// reads a machine-wide value that its uncheck, a per-user delete, leaves.
const std::set<BoxKey> kCheckedAfterOnAndOff = {{0, 1015}, {3, 1003}};

TEST(ProgramTest, AClickChangesItsSettingAndSaveAndExitEndsTheProgram) {
    // None of the boxes' values, and no probe yet.
    PrepareRegistry({});
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, "Software\\morvane");
    const Snapshot before = Broad();
    Process program(ProgramPath());
    ASSERT_TRUE(program.Started()) << ProgramPath() << ": error " << program.StartError();
    HWND hMain = WaitForMainWindow(program.Id(), 20000);
    ASSERT_TRUE(hMain);
    EXPECT_EQ(CheckedBoxes(Pages(hMain)), CheckedInAnEmptyRegistry());
    HWND hPage = Pages(hMain)[0];
    ASSERT_TRUE(hPage);
    EXPECT_TRUE(IsWindowVisible(hPage));
    EXPECT_FALSE(IsDlgButtonChecked(hPage, 1016));

    SendMessageA(GetDlgItem(hPage, 1016), BM_CLICK, 0, 0);
    EXPECT_TRUE(IsDlgButtonChecked(hPage, 1016));
    EXPECT_EQ(GetValue(HKEY_CURRENT_USER, "Control Panel\\Desktop", "AutoEndTasks"), Sz("1"));

    ExpectSaveAndExit(hMain, program);

    // Nothing else changed but the probe value, which stays.
    Snapshot expected = before;
    expected["HKCU\\Control Panel\\Desktop\\:AutoEndTasks"] = Sz("1");
    expected["HKLM\\Software\\morvane\\"] = RegValue{REG_NONE, {}};
    expected["HKLM\\Software\\morvane\\:test"] = Dword(0);
    const Snapshot after = Broad();
    EXPECT_TRUE(after == expected) << Differences(expected, after);
}

TEST(ProgramTest, EveryTabAndEveryBoxOfEveryPageThenAStartShowsWhatTheClicksLeft) {
    PrepareRegistry(PreparedValues());
    ASSERT_EQ(NamedValues(), PreparedValues()) << "the prepared values";
    CommandLog log;
    const Snapshot broadBefore = Broad();
    const Snapshot watchedBefore = Watched();

    Process program(ProgramPath());
    ASSERT_TRUE(program.Started()) << ProgramPath() << ": error " << program.StartError();
    HWND hMain = WaitForMainWindow(program.Id(), 20000);
    ASSERT_TRUE(hMain);
    // Starting reads the states and writes nothing but the probe.
    Snapshot watched = Watched();
    ExpectOnly(watchedBefore, watched, {{"HKLM\\SOFTWARE\\morvane\\:test", Dword(0)}}, 0);

    const std::array<HWND, kPageCount> pages = Pages(hMain);
    for (int i = 0; i < kPageCount; ++i)
        ASSERT_TRUE(pages[i]) << "page " << i;
    for (const Box& box : expect::Boxes())
        EXPECT_EQ(WindowText(GetDlgItem(pages[box.page], box.id)), box.label);
    EXPECT_EQ(CheckedBoxes(pages), kCheckedAtFirstStart);

    // With rights the notice keeps the frame's own size: no picture loaded.
    EXPECT_NE(WindowSize(GetDlgItem(hMain, kNoticeControl)), kNoticePlaying);

    HWND hTab = GetDlgItem(hMain, kTabControl);
    ASSERT_TRUE(hTab);
    EXPECT_EQ(Send(hTab, TCM_GETITEMCOUNT, 0, 0), kPageCount);
    EXPECT_EQ(Send(hTab, TCM_GETCURSEL, 0, 0), 0);
    ExpectOnlyVisible(pages, 0);
    EXPECT_EQ(WindowSize(pages[0]), kPageAtStart);

    // Every tab in turn, back to the first; on each page every box on and
    // off (a box that starts checked goes off, on and off). What the clicks
    // must leave is each cell in turn on the registry as it was.
    Snapshot left = Applied(watchedBefore, {{"HKLM\\SOFTWARE\\morvane\\:test", Dword(0)}});
    for (int tab : {1, 2, 3, 4, 0}) {
        SCOPED_TRACE(testing::Message() << "tab " << tab);
        ASSERT_TRUE(ClickTab(hTab, tab));
        EXPECT_EQ(Send(hTab, TCM_GETCURSEL, 0, 0), tab);
        ExpectOnlyVisible(pages, tab);
        EXPECT_EQ(WindowSize(pages[tab]), kPageAfterTabChange);
        for (const Box& box : expect::BoxesOf(tab)) {
            if (kCheckedAtFirstStart.contains({tab, box.id})) {
                ExpectClick(pages[tab], box, false, log, watched);
                left = Applied(left, box.onUncheck);
            }
            ExpectClick(pages[tab], box, true, log, watched);
            ExpectClick(pages[tab], box, false, log, watched);
            left = Applied(Applied(left, box.onCheck), box.onUncheck);
        }
    }
    EXPECT_EQ(CheckedBoxes(pages), std::set<BoxKey>{});

    ExpectSaveAndExit(hMain, program);
    EXPECT_EQ(log.Next(0), std::vector<std::string>{}) << "started after the clicks";

    // Everything that changed is in the watched keys, where each click was
    // checked.
    const Snapshot watchedAfter = Watched();
    const std::set<std::string> watchedChanges = DifferingPaths(watchedBefore, watchedAfter);
    for (const std::string& path : DifferingPaths(broadBefore, Broad()))
        EXPECT_TRUE(watchedChanges.contains(path)) << path << " changed";

    ASSERT_TRUE(watchedAfter == left) << Differences(left, watchedAfter);

    // The next start shows what the registry holds now.
    Process again(ProgramPath());
    ASSERT_TRUE(again.Started());
    hMain = WaitForMainWindow(again.Id(), 20000);
    ASSERT_TRUE(hMain);
    EXPECT_EQ(CheckedBoxes(Pages(hMain)), kCheckedAfterOnAndOff);
    ExpectSaveAndExit(hMain, again);
    EXPECT_TRUE(Watched() == watchedAfter) << Differences(watchedAfter, Watched());
    EXPECT_EQ(log.Next(0), std::vector<std::string>{}) << "started by the second run";
}

} // namespace
} // namespace e2e
