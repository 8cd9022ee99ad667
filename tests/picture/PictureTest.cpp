// The animated picture control on a real static control in a real dialog,
// with GIFs the system's picture loader decodes.
#include "framework/Dialog.h"
#include "picture/CPictureEx.h"
#include "resource.h"
#include "support/TestGif.h"

#include <gtest/gtest.h>
#include <tlhelp32.h>

#include <chrono>
#include <thread>

namespace {

using namespace std::chrono_literals;

int ThreadCount() {
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 te{sizeof(te)};
    int n = 0;
    for (BOOL ok = Thread32First(snap, &te); ok; ok = Thread32Next(snap, &te))
        n += te.th32OwnerProcessID == GetCurrentProcessId();
    CloseHandle(snap);
    return n;
}

DWORD HandleCount() {
    DWORD n = 0;
    GetProcessHandleCount(GetCurrentProcess(), &n);
    return n;
}

// Frame 1 paints the left half red and stays; frame 2 paints the right half
// blue and is cleared to the background afterwards.
std::vector<uint8_t> Blinker(uint16_t delay) {
    return MakeGif(16, 8, {{0, 0, 8, 8, 0, 1, delay}, {8, 0, 8, 8, 1, 2, delay}});
}

class PictureTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(host.Create(IDD_ABOUTBOX, nullptr));
        hStatic = CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE | SS_BLACKFRAME, 20, 30,
                                  50, 60, host.m_hWnd, nullptr, nullptr, nullptr);
        ASSERT_TRUE(hStatic);
        pic.BindControl(hStatic);
    }
    void TearDown() override { pic.FreePicture(); }

    BOOL Load(const std::vector<uint8_t>& bytes) {
        HGLOBAL h = ToGlobal(bytes);
        const BOOL ok = pic.LoadFromMemory(h, static_cast<DWORD>(bytes.size()));
        GlobalFree(h);
        return ok;
    }
    COLORREF At(int x, int y) const { return GetPixel(pic.SurfaceDC(), x, y); }

    CDialog host{IDD_ABOUTBOX};
    HWND hStatic = nullptr;
    CPictureEx pic;
};

TEST_F(PictureTest, NothingLoadedShowsNothing) {
    EXPECT_FALSE(pic.ShowPicture());
    EXPECT_FALSE(pic.SurfaceDC());
    pic.StopAnimation();
    pic.StopAnimation();
    EXPECT_FALSE(pic.IsPlaying());
}

TEST_F(PictureTest, AOneFrameGifIsAStillPictureAtItsScreenSize) {
    const int threads = ThreadCount();
    ASSERT_TRUE(Load(MakeGif(12, 10, {{2, 2, 4, 4, 2, 0, 0}})));
    RECT rc;
    GetWindowRect(hStatic, &rc);
    EXPECT_EQ(rc.right - rc.left, 12);
    EXPECT_EQ(rc.bottom - rc.top, 10);
    POINT at{rc.left, rc.top};
    ScreenToClient(host.m_hWnd, &at);
    EXPECT_EQ(at.x, 20); // resized in place
    EXPECT_EQ(at.y, 30);
    EXPECT_TRUE(pic.ShowPicture());
    EXPECT_FALSE(pic.IsPlaying());
    EXPECT_EQ(ThreadCount(), threads);
    EXPECT_EQ(At(3, 3), kTestColours[2]);
}

TEST_F(PictureTest, ABitmapIsAStillPicture) {
    // A 2 x 2 24-bit bitmap, all green.
    std::vector<uint8_t> bmp(14 + 40 + 16, 0);
    bmp[0] = 'B';
    bmp[1] = 'M';
    bmp[2] = uint8_t(bmp.size());
    bmp[10] = 54;
    bmp[14] = 40;
    bmp[18] = 2;
    bmp[22] = 2;
    bmp[26] = 1;
    bmp[28] = 24;
    for (int row = 0; row < 2; ++row)
        for (int px = 0; px < 2; ++px)
            bmp[54 + row * 8 + px * 3 + 1] = 0xFF;
    ASSERT_TRUE(Load(bmp));
    EXPECT_EQ(pic.PictureSize().cx, 2);
    EXPECT_EQ(pic.PictureSize().cy, 2);
    EXPECT_TRUE(pic.ShowPicture());
    EXPECT_EQ(At(1, 1), RGB(0, 255, 0));
}

TEST_F(PictureTest, DataNoLoaderAcceptsFailsCleanly) {
    EXPECT_FALSE(Load({'n', 'o', 't', ' ', 'a', 'n', ' ', 'i', 'm', 'a', 'g', 'e'}));
    EXPECT_FALSE(Load({'G', 'I', 'F', '8', '9', 'a', 1}));
    EXPECT_FALSE(Load(MakeGif(0, 0, {{0, 0, 1, 1, 0, 0, 0}, {0, 0, 1, 1, 1, 0, 0}})));
    EXPECT_FALSE(Load(MakeGif(40000, 40000, {{0, 0, 1, 1, 0, 0, 0}, {0, 0, 1, 1, 1, 0, 0}})));
    EXPECT_FALSE(pic.ShowPicture());
}

TEST_F(PictureTest, AnimationPlaysFrameByFrameAndWraps) {
    ASSERT_TRUE(Load(Blinker(60)));
    EXPECT_EQ(pic.FrameCount(), 2u);
    const COLORREF menu = GetSysColor(COLOR_MENU), face = GetSysColor(COLOR_BTNFACE);
    EXPECT_EQ(At(12, 4), menu);      // the first fill
    EXPECT_FALSE(pic.ShowPicture()); // an animation starts a worker and says FALSE
    EXPECT_TRUE(pic.IsPlaying());
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(At(4, 4), kTestColours[0]);
    EXPECT_EQ(At(12, 4), menu);
    std::this_thread::sleep_for(600ms); // t = 0.9 s: frame 2 over frame 1
    EXPECT_EQ(At(4, 4), kTestColours[0]);
    EXPECT_EQ(At(12, 4), kTestColours[1]);
    std::this_thread::sleep_for(600ms); // t = 1.5 s: cleared, wrapped, frame 1 again
    EXPECT_EQ(At(4, 4), kTestColours[0]);
    EXPECT_EQ(At(12, 4), face);
}

// The program's own notice: both frame streams are accepted by the loader
// and blink between their two colourings.
TEST_F(PictureTest, TheNoticeBlinksBetweenItsTwoFrames) {
    ASSERT_TRUE(pic.LoadFromResource());
    EXPECT_EQ(pic.FrameCount(), 2u);
    EXPECT_EQ(pic.PictureSize().cx, 115);
    EXPECT_EQ(pic.PictureSize().cy, 185);
    pic.ShowPicture();
    std::this_thread::sleep_for(250ms);
    EXPECT_EQ(At(0, 0), RGB(150, 0, 0)); // dark red, frame 1
    std::this_thread::sleep_for(500ms);
    EXPECT_EQ(At(0, 0), RGB(255, 214, 0)); // yellow, frame 2
}

TEST_F(PictureTest, StopIsPromptAndShowGoesOnWithTheSameFrame) {
    ASSERT_TRUE(Load(Blinker(100)));
    pic.ShowPicture();
    std::this_thread::sleep_for(1500ms); // frame 2 is on, half-way through its second
    const auto start = std::chrono::steady_clock::now();
    pic.StopAnimation();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 400ms); // not the frame's delay
    EXPECT_FALSE(pic.IsPlaying());
    pic.StopAnimation();
    pic.StopAnimation();
    EXPECT_EQ(At(12, 4), kTestColours[1]);

    // Frame 2 gets its pending clear, is drawn again and keeps its full second.
    pic.ShowPicture();
    std::this_thread::sleep_for(500ms);
    EXPECT_EQ(At(12, 4), kTestColours[1]);
    std::this_thread::sleep_for(1000ms);
    EXPECT_EQ(At(12, 4), GetSysColor(COLOR_BTNFACE));
}

TEST_F(PictureTest, ASecondShowStartsNoSecondWorker) {
    const int threads = ThreadCount();
    ASSERT_TRUE(Load(Blinker(5)));
    pic.ShowPicture();
    pic.ShowPicture();
    EXPECT_EQ(ThreadCount(), threads + 1);
    pic.StopAnimation();
    EXPECT_EQ(ThreadCount(), threads);
}

TEST_F(PictureTest, FramesWithoutDelayStillAdvance) {
    TestFrame left{0, 0, 8, 8, 0, 0, 0, false}, right{8, 0, 8, 8, 1, 0, 0, false};
    ASSERT_TRUE(Load(MakeGif(16, 8, {left, right})));
    pic.ShowPicture();
    // Each frame stays a moment, then the next comes: the right half shows
    // frame 2, then the wrap clears it, again and again.
    bool blue = false, cleared = false;
    for (int i = 0; i < 150 && !(blue && cleared); ++i) {
        std::this_thread::sleep_for(10ms);
        blue |= At(12, 4) == kTestColours[1];
        cleared |= blue && At(12, 4) == GetSysColor(COLOR_BTNFACE);
    }
    EXPECT_TRUE(blue);
    EXPECT_TRUE(cleared);
}

TEST_F(PictureTest, OneRejectedFrameOfTwoShowsNothing) {
    TestFrame broken{8, 0, 8, 8, 1, 2, 50};
    broken.broken = true;
    ASSERT_TRUE(Load(MakeGif(16, 8, {{0, 0, 8, 8, 0, 1, 50}, broken})));
    EXPECT_EQ(pic.FrameCount(), 1u);
    EXPECT_FALSE(pic.ShowPicture());
    EXPECT_FALSE(pic.IsPlaying());
    EXPECT_EQ(At(4, 4), GetSysColor(COLOR_MENU));
}

TEST_F(PictureTest, DestroyingTheWindowStopsTheWorker) {
    const int threads = ThreadCount();
    ASSERT_TRUE(Load(Blinker(5)));
    pic.ShowPicture();
    EXPECT_EQ(ThreadCount(), threads + 1);
    DestroyWindow(hStatic);
    EXPECT_FALSE(pic.IsPlaying());
    EXPECT_EQ(ThreadCount(), threads);
}

TEST_F(PictureTest, CyclesLeaveNoObjectsHandlesOrThreadsBehind) {
    const std::vector<uint8_t> gif = Blinker(5);
    // One cycle first: the loader's own one-time set-up is not a leak.
    ASSERT_TRUE(Load(gif));
    pic.FreePicture();
    const DWORD gdi = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    const DWORD handles = HandleCount();
    const int threads = ThreadCount();
    for (int i = 0; i < 500; ++i) {
        ASSERT_TRUE(Load(gif));
        pic.ShowPicture();
        pic.StopAnimation();
        pic.FreePicture();
    }
    ASSERT_TRUE(Load(gif));
    pic.ShowPicture();
    std::this_thread::sleep_for(2s);
    pic.FreePicture();
    // Wine does not count GDI objects per process (always 0); Windows does.
    EXPECT_EQ(GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS), gdi);
    EXPECT_EQ(HandleCount(), handles);
    EXPECT_EQ(ThreadCount(), threads);
}

} // namespace
