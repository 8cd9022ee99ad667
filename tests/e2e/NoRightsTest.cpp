// The real morvane.exe without the right to write its machine-wide probe:
// the notice plays, on a thread of its own, and every per-user tweak still
// works. Every Wine process may write HKLM, so the probe's key gets a DACL
// that denies writing; it lives only in this prefix's running server, which
// is why this test runs in a prefix of its own.
#include "e2e/Harness.h"

#include <gtest/gtest.h>

#include <commctrl.h>

namespace e2e {
namespace {

// The boxes that touch nothing but per-user values and start nothing.
std::vector<const Box*> PerUserBoxes() {
    std::vector<const Box*> boxes;
    for (const Box& box : expect::Boxes()) {
        bool perUser = box.startsOnCheck.empty() && box.startsOnUncheck.empty();
        for (const Changes* cell : {&box.onCheck, &box.onUncheck})
            for (const auto& change : *cell)
                perUser = perUser && change.first.starts_with("HKCU\\");
        if (perUser)
            boxes.push_back(&box);
    }
    return boxes;
}

TEST(ProgramWithoutRightsTest, TheNoticePlaysOnAThreadOfItsOwnAndPerUserTweaksWork) {
    PrepareRegistry({});

    // With rights, for the threads of the program without the notice.
    int threadsWithRights = 0;
    {
        Process program(ProgramPath());
        ASSERT_TRUE(program.Started()) << ProgramPath() << ": error " << program.StartError();
        HWND hMain = WaitForMainWindow(program.Id(), 20000);
        ASSERT_TRUE(hMain);
        EXPECT_NE(WindowSize(GetDlgItem(hMain, kNoticeControl)), kNoticePlaying);
        threadsWithRights = ThreadCount(program.Id());
        ExpectSaveAndExit(hMain, program);
    }
    ASSERT_GT(threadsWithRights, 0);

    DenyWritingTheProbeKey();
    const std::set<BoxKey> checkedAtStart = CheckedInAnEmptyRegistry();
    CommandLog log;
    const Snapshot before = Watched();
    Process program(ProgramPath());
    ASSERT_TRUE(program.Started());
    HWND hMain = WaitForMainWindow(program.Id(), 20000);
    ASSERT_TRUE(hMain);
    Snapshot watched = Watched();
    EXPECT_TRUE(watched == before) << "the start wrote" << Differences(before, watched);

    // The control takes the picture's size when the picture loads, and the
    // animation runs on one more thread.
    EXPECT_EQ(WindowSize(GetDlgItem(hMain, kNoticeControl)), kNoticePlaying);
    int threads = 0;
    EXPECT_TRUE(WaitUntil(
        [&] { return (threads = ThreadCount(program.Id())) == threadsWithRights + 1; }, 10000))
        << threads << " threads, with rights " << threadsWithRights;

    const std::array<HWND, kPageCount> pages = Pages(hMain);
    for (int i = 0; i < kPageCount; ++i)
        ASSERT_TRUE(pages[i]) << "page " << i;
    EXPECT_EQ(CheckedBoxes(pages), checkedAtStart);
    HWND hTab = GetDlgItem(hMain, kTabControl);
    int tab = 0;
    for (const Box* box : PerUserBoxes()) {
        if (box->page != tab) {
            tab = box->page;
            ASSERT_TRUE(ClickTab(hTab, tab));
            EXPECT_EQ(Send(hTab, TCM_GETCURSEL, 0, 0), tab);
        }
        const bool checked = checkedAtStart.contains({box->page, box->id});
        ExpectClick(pages[tab], *box, !checked, log, watched);
        ExpectClick(pages[tab], *box, checked, log, watched);
    }
    // Still playing after all that.
    EXPECT_EQ(ThreadCount(program.Id()), threadsWithRights + 1);
    ExpectSaveAndExit(hMain, program);
}

} // namespace
} // namespace e2e
