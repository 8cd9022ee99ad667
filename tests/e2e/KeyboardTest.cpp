// The real morvane.exe worked by keyboard alone: Tab and Shift+Tab through
// the tab control, the visible page's boxes and the buttons; the arrows on
// the tab control and Ctrl+Tab, Ctrl+PageDown and Ctrl+PageUp anywhere to
// change pages; Space to toggle a box. Every key is real input, so the
// program reads each one after the ones before it, modifiers and releases
// included. The focus is read from outside with GetGUIThreadInfo.
#include "e2e/Harness.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <memory>
#include <sstream>

namespace e2e {
namespace {

constexpr SIZE kPageAfterTabChange = {497, 275};
constexpr int kSaveAndExit = IDOK;
constexpr int kAbout = 1002;
constexpr int kForum = 1008;

HWND Focus(HWND hMain) {
    GUITHREADINFO info{sizeof(info)};
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(hMain, nullptr), &info))
        return nullptr;
    return info.hwndFocus;
}

// "box 1003 on page 1", "control 1000 of the main window", ...
std::string Describe(HWND hWnd, HWND hMain, const std::array<HWND, kPageCount>& pages) {
    if (!hWnd)
        return "no window";
    std::ostringstream out;
    out << "control " << GetDlgCtrlID(hWnd);
    HWND hParent = GetParent(hWnd);
    for (int i = 0; i < kPageCount; ++i)
        if (hParent == pages[i])
            out << " on page " << i << (IsWindowVisible(pages[i]) ? "" : " (hidden)");
    if (hParent == hMain)
        out << " of the main window";
    return out.str();
}

// A key pressed and released while the modifiers are held, as real input to
// the program's window, which must be in front. A key posted instead could be
// read before a Shift release sent earlier, with Shift still down.
void PressWith(std::initializer_list<WORD> modifiers, WORD vk) {
    std::vector<INPUT> inputs;
    const auto key = [&](WORD k, bool up) {
        INPUT in{};
        in.type = INPUT_KEYBOARD;
        in.ki.wVk = k;
        in.ki.wScan = static_cast<WORD>(MapVirtualKeyA(k, MAPVK_VK_TO_VSC));
        const bool extended = k == VK_NEXT || k == VK_PRIOR || k == VK_LEFT || k == VK_RIGHT;
        in.ki.dwFlags = (up ? KEYEVENTF_KEYUP : 0) | (extended ? KEYEVENTF_EXTENDEDKEY : 0);
        inputs.push_back(in);
    };
    for (WORD m : modifiers)
        key(m, false);
    key(vk, false);
    key(vk, true);
    for (auto m = std::rbegin(modifiers); m != std::rend(modifiers); ++m)
        key(*m, true);
    ASSERT_EQ(SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT)),
              inputs.size());
}

void Press(WORD vk) {
    PressWith({}, vk);
}

class KeyboardTest : public testing::Test {
protected:
    void SetUp() override {
        PrepareRegistry({});
        program = std::make_unique<Process>(ProgramPath());
        ASSERT_TRUE(program->Started()) << ProgramPath() << ": error " << program->StartError();
        hMain = WaitForMainWindow(program->Id(), 20000);
        ASSERT_TRUE(hMain);
        pages = Pages(hMain);
        for (int i = 0; i < kPageCount; ++i)
            ASSERT_TRUE(pages[i]) << "page " << i;
        hTab = GetDlgItem(hMain, kTabControl);
        ASSERT_TRUE(hTab);
        watched = Watched();
        // Real input goes to the window in front.
        SetForegroundWindow(hMain);
        ASSERT_TRUE(WaitUntil([&] { return GetForegroundWindow() == hMain; }, 5000));
    }

    HWND BoxWindow(int page, int id) const { return GetDlgItem(pages[page], id); }
    HWND Button(int id) const { return GetDlgItem(hMain, id); }

    // Waits for the focus to reach hWnd, which must be visible.
    void ExpectFocus(HWND hWnd) {
        ASSERT_TRUE(hWnd);
        const bool reached = WaitUntil([&] { return Focus(hMain) == hWnd; }, 5000);
        EXPECT_TRUE(reached) << "focus on " << Describe(Focus(hMain), hMain, pages)
                             << ", expected on " << Describe(hWnd, hMain, pages);
        EXPECT_TRUE(IsWindowVisible(hWnd)) << Describe(hWnd, hMain, pages);
    }

    // Waits for tab `shown` to be selected and expects its page alone to be
    // visible, at the size every tab change gives it.
    void ExpectPage(int shown) {
        EXPECT_TRUE(WaitUntil([&] { return Send(hTab, TCM_GETCURSEL, 0, 0) == shown; }, 5000))
            << "tab " << Send(hTab, TCM_GETCURSEL, 0, 0).value_or(-1) << " selected, expected "
            << shown;
        for (int i = 0; i < kPageCount; ++i)
            EXPECT_EQ(IsWindowVisible(pages[i]) != FALSE, i == shown) << "page " << i;
        EXPECT_EQ(WindowSize(pages[shown]), kPageAfterTabChange);
    }

    // Space on the focused box applies it once, as a click does.
    void ExpectSpaceToggles(int page, int id) {
        const expect::Box& box = expect::BoxAt(page, id);
        const bool checked = Send(BoxWindow(page, id), BM_GETCHECK, 0, 0) != BST_CHECKED;
        ExpectToggle(pages[page], box, checked, log, watched, [&](HWND hBox) {
            ASSERT_EQ(Focus(hMain), hBox) << Describe(Focus(hMain), hMain, pages);
            Press(VK_SPACE);
            ASSERT_TRUE(WaitUntil(
                [&] { return Send(hBox, BM_GETCHECK, 0, 0) == (checked ? BST_CHECKED : 0); }, 5000))
                << "Space did not toggle the box";
            // The handler runs right after the box changed, before the
            // program looks at this message.
            Send(hMain, WM_NULL, 0, 0);
        });
    }

    // The whole circle: "Save && Exit", the tab control, the boxes of the
    // visible page in template order, "About", "Forum".
    std::vector<HWND> Circle(int page) const {
        std::vector<HWND> circle{Button(kSaveAndExit), hTab};
        for (int id : PageBoxes(page))
            circle.push_back(BoxWindow(page, id));
        circle.push_back(Button(kAbout));
        circle.push_back(Button(kForum));
        return circle;
    }

    std::unique_ptr<Process> program;
    HWND hMain = nullptr;
    HWND hTab = nullptr;
    std::array<HWND, kPageCount> pages{};
    CommandLog log;
    Snapshot watched;
};

TEST_F(KeyboardTest, FromTheStartTabReachesTheTabsThenTheFirstBoxWhereSpaceAppliesIt) {
    ExpectFocus(Button(kSaveAndExit));
    Press(VK_TAB);
    ExpectFocus(hTab);
    Press(VK_TAB);
    ExpectFocus(BoxWindow(0, 1003));
    // On, then off: each press is one application of its cell.
    ExpectSpaceToggles(0, 1003);
    ExpectSpaceToggles(0, 1003);
    EXPECT_EQ(log.Next(0), std::vector<std::string>{}) << "started by no key";
    ExpectSaveAndExit(hMain, *program);
}

TEST_F(KeyboardTest, RightOnTheTabsShowsServicesThenTabReachesItsFirstBox) {
    Press(VK_TAB);
    ExpectFocus(hTab);
    Press(VK_RIGHT);
    ExpectPage(1);
    ExpectFocus(hTab);
    Press(VK_TAB);
    ExpectFocus(BoxWindow(1, 1003));
    ExpectSpaceToggles(1, 1003);
    ExpectSpaceToggles(1, 1003);
    // Back to the tabs, and Left to the General page.
    PressWith({VK_SHIFT}, VK_TAB);
    ExpectFocus(hTab);
    Press(VK_LEFT);
    ExpectPage(0);
    ExpectSaveAndExit(hMain, *program);
}

TEST_F(KeyboardTest, EveryPageIsReachedAndABoxOnItToggledByKeysAlone) {
    Press(VK_TAB);
    ExpectFocus(hTab);
    for (int page = 0; page < kPageCount; ++page) {
        SCOPED_TRACE(testing::Message() << "page " << page);
        if (page > 0) {
            Press(VK_RIGHT);
            ExpectPage(page);
        }
        // The second box: Tab moves inside the page too.
        const std::vector<int>& ids = PageBoxes(page);
        Press(VK_TAB);
        ExpectFocus(BoxWindow(page, ids[0]));
        Press(VK_TAB);
        ExpectFocus(BoxWindow(page, ids[1]));
        ExpectSpaceToggles(page, ids[1]);
        ExpectSpaceToggles(page, ids[1]);
        PressWith({VK_SHIFT}, VK_TAB);
        ExpectFocus(BoxWindow(page, ids[0]));
        PressWith({VK_SHIFT}, VK_TAB);
        ExpectFocus(hTab);
    }
    // Right on the last tab stays there.
    Press(VK_RIGHT);
    Press(VK_TAB);
    ExpectFocus(BoxWindow(kPageCount - 1, PageBoxes(kPageCount - 1)[0]));
    ExpectPage(kPageCount - 1);
    ExpectSaveAndExit(hMain, *program);
}

TEST_F(KeyboardTest, TabAndShiftTabGoRoundTheVisiblePageOnlyBothWays) {
    // The Usability page: its template order is not the order of its ids.
    Press(VK_TAB);
    ExpectFocus(hTab);
    for (int i = 0; i < 4; ++i)
        Press(VK_RIGHT);
    ExpectPage(4);
    const std::vector<HWND> circle = Circle(4);
    // From the tab control once round forwards, then once round backwards.
    for (size_t step = 1; step <= circle.size(); ++step) {
        Press(VK_TAB);
        ExpectFocus(circle[(1 + step) % circle.size()]);
    }
    for (size_t step = 1; step <= circle.size(); ++step) {
        PressWith({VK_SHIFT}, VK_TAB);
        ExpectFocus(circle[(1 + circle.size() - step) % circle.size()]);
    }
    ExpectFocus(hTab);
    ExpectSaveAndExit(hMain, *program);
}

TEST_F(KeyboardTest, CtrlTabAndCtrlPageKeysSwitchPagesFromAnywhere) {
    Press(VK_TAB);
    Press(VK_TAB);
    ExpectFocus(BoxWindow(0, 1003));
    // From a box: the focus moves to the first box of the page shown.
    PressWith({VK_CONTROL}, VK_TAB);
    ExpectPage(1);
    ExpectFocus(BoxWindow(1, PageBoxes(1)[0]));
    PressWith({VK_CONTROL}, VK_NEXT);
    ExpectPage(2);
    ExpectFocus(BoxWindow(2, PageBoxes(2)[0]));
    PressWith({VK_CONTROL}, VK_PRIOR);
    ExpectPage(1);
    PressWith({VK_CONTROL, VK_SHIFT}, VK_TAB);
    ExpectPage(0);
    // Both ends wrap.
    PressWith({VK_CONTROL, VK_SHIFT}, VK_TAB);
    ExpectPage(4);
    PressWith({VK_CONTROL}, VK_NEXT);
    ExpectPage(0);
    ExpectFocus(BoxWindow(0, PageBoxes(0)[0]));
    // From the tab control and from a button the focus stays put.
    PressWith({VK_SHIFT}, VK_TAB);
    ExpectFocus(hTab);
    PressWith({VK_CONTROL}, VK_TAB);
    ExpectPage(1);
    ExpectFocus(hTab);
    PressWith({VK_SHIFT}, VK_TAB);
    PressWith({VK_SHIFT}, VK_TAB);
    ExpectFocus(Button(kForum));
    PressWith({VK_CONTROL}, VK_PRIOR);
    ExpectPage(0);
    ExpectFocus(Button(kForum));
    // Switching pages changed no setting and started nothing.
    EXPECT_TRUE(Watched() == watched) << Differences(watched, Watched());
    EXPECT_EQ(log.Next(0), std::vector<std::string>{});
    ExpectSaveAndExit(hMain, *program);
}

TEST_F(KeyboardTest, EscapeAndEnterOnABoxChangeNothingAndTheFocusShows) {
    Press(VK_TAB);
    Press(VK_TAB);
    HWND hBox = BoxWindow(0, 1003);
    ExpectFocus(hBox);
    // Moved there by keys: the focus rectangle is drawn.
    EXPECT_EQ(Send(hBox, WM_QUERYUISTATE, 0, 0).value_or(UISF_HIDEFOCUS) & UISF_HIDEFOCUS, 0);
    for (WORD vk : {VK_ESCAPE, VK_RETURN})
        Press(vk);
    // A key after them shows that they have gone through.
    Press(VK_TAB);
    ExpectFocus(BoxWindow(0, PageBoxes(0)[1]));
    EXPECT_TRUE(IsWindowVisible(hMain));
    EXPECT_TRUE(IsWindowVisible(pages[0]));
    EXPECT_EQ(Send(hBox, BM_GETCHECK, 0, 0), BST_UNCHECKED);
    EXPECT_TRUE(Watched() == watched) << Differences(watched, Watched());
    // Space on "Save && Exit" ends the program.
    PressWith({VK_SHIFT}, VK_TAB);
    PressWith({VK_SHIFT}, VK_TAB);
    PressWith({VK_SHIFT}, VK_TAB);
    ExpectFocus(Button(kSaveAndExit));
    Press(VK_SPACE);
    ASSERT_TRUE(program->Ended(20000)) << "still running after Space on \"Save && Exit\"";
    EXPECT_EQ(program->ExitCode(), 0u);
}

} // namespace
} // namespace e2e
