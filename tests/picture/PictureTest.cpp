// The animated picture control on a real static control in a host window of
// its own, with GIFs the system's picture loader decodes.
#include "picture/CPictureEx.h"
#include "support/HostileGifs.h"
#include "support/ProcessCounters.h"
#include "support/TestGif.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <utility>

namespace {

using namespace std::chrono_literals;

// Ends the run with a message instead of hanging until CTest's time-out when
// a test deadlocks.
class Watchdog {
public:
    explicit Watchdog(DWORD ms) : m_ms(ms) {
        m_hDone = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        m_hThread = CreateThread(nullptr, 0, &Watch, this, 0, nullptr);
    }
    ~Watchdog() {
        SetEvent(m_hDone);
        WaitForSingleObject(m_hThread, INFINITE);
        CloseHandle(m_hThread);
        CloseHandle(m_hDone);
    }

private:
    static DWORD WINAPI Watch(LPVOID p) {
        const auto* self = static_cast<Watchdog*>(p);
        if (WaitForSingleObject(self->m_hDone, self->m_ms) == WAIT_TIMEOUT) {
            fprintf(stderr, "%s did not end within %lu ms: deadlocked\n",
                    testing::UnitTest::GetInstance()->current_test_info()->name(), self->m_ms);
            fflush(stderr);
            TerminateProcess(GetCurrentProcess(), 3);
        }
        return 0;
    }
    DWORD m_ms;
    HANDLE m_hDone, m_hThread;
};

// Windows of a class only these tests use, without caption, so that no other
// suite running at the same time takes one for its own. Each counts the
// paints it gets.
std::atomic<int> g_paints{0};

LRESULT CALLBACK CountingProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_PAINT) {
        ++g_paints;
        PAINTSTRUCT ps;
        BeginPaint(hWnd, &ps);
        EndPaint(hWnd, &ps);
        return 0;
    }
    return DefWindowProcA(hWnd, msg, wParam, lParam);
}

HWND CreateTestWindow(DWORD style, int width, int height) {
    static const ATOM atom = [] {
        WNDCLASSA wc{};
        wc.lpfnWndProc = CountingProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "MorvanePictureTestWindow";
        return RegisterClassA(&wc);
    }();
    return CreateWindowExA(WS_EX_TOOLWINDOW, MAKEINTATOM(atom), "", style, 0, 0, width, height,
                           nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
}

void PumpFor(std::chrono::milliseconds span) {
    const auto until = std::chrono::steady_clock::now() + span;
    MSG msg;
    while (std::chrono::steady_clock::now() < until) {
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        std::this_thread::sleep_for(5ms);
    }
}

// Puts the control's seams back as they were.
class SeamsRestored {
public:
    SeamsRestored() : m_saved(CPictureEx::Seams()) {}
    ~SeamsRestored() { CPictureEx::Seams() = m_saved; }

private:
    PictureSeams m_saved;
};

// Holds the worker in every frame's wait until the test lets it go on, and
// records the wait each frame asked for.
// The fixture owns it, so it outlives any worker of the test.
class FrameStepper {
public:
    FrameStepper() = default;
    FrameStepper(const FrameStepper&) = delete;
    ~FrameStepper() {
        CloseHandle(m_hDrawn);
        CloseHandle(m_hNext);
    }
    void Install() {
        s_current = this;
        CPictureEx::Seams().frameWait = &Wait;
    }
    // True once the worker has drawn the next frame and waits.
    bool AwaitFrame() const { return WaitForSingleObject(m_hDrawn, 10000) == WAIT_OBJECT_0; }
    void Next() const { SetEvent(m_hNext); }
    std::vector<DWORD> waits; // written by the worker before it signals a frame

private:
    static DWORD Wait(HANDLE hQuit, DWORD ms) {
        FrameStepper* self = s_current;
        self->waits.push_back(ms);
        SetEvent(self->m_hDrawn);
        const HANDLE handles[2] = {hQuit, self->m_hNext};
        return WaitForMultipleObjects(2, handles, FALSE, INFINITE);
    }
    static inline FrameStepper* s_current = nullptr;
    HANDLE m_hDrawn = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    HANDLE m_hNext = CreateEventA(nullptr, FALSE, FALSE, nullptr);
};

// The real wait between frames, counting the frames drawn.
std::atomic<int> g_framesDrawn{0};
DWORD CountingWait(HANDLE hQuit, DWORD ms) {
    ++g_framesDrawn;
    return WaitForSingleObject(hQuit, ms);
}

// Frame 1 paints the left half red and stays; frame 2 paints the right half
// blue and is cleared to the background afterwards.
std::vector<uint8_t> Blinker(uint16_t delay) {
    return MakeGif(16, 8, {{0, 0, 8, 8, 0, 1, delay}, {8, 0, 8, 8, 1, 2, delay}});
}

class PictureTest : public testing::Test {
protected:
    void SetUp() override {
        host = CreateTestWindow(WS_POPUP, 200, 250);
        ASSERT_TRUE(host);
        hStatic = CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE | SS_BLACKFRAME, 20, 30,
                                  50, 60, host, nullptr, nullptr, nullptr);
        ASSERT_TRUE(hStatic);
        pic.BindControl(hStatic);
    }
    void TearDown() override {
        pic.FreePicture();
        if (IsWindow(host))
            DestroyWindow(host);
    }

    BOOL Load(const std::vector<uint8_t>& bytes) {
        HGLOBAL h = ToGlobal(bytes);
        const BOOL ok = pic.LoadFromMemory(h, static_cast<DWORD>(bytes.size()));
        GlobalFree(h);
        return ok;
    }
    COLORREF At(int x, int y) const { return GetPixel(pic.SurfaceDC(), x, y); }
    // One cycle first: the loader's own one-time set-up is not a leak.
    void WarmUp() {
        ASSERT_TRUE(Load(Blinker(5)));
        pic.FreePicture();
    }

    // The surface's rows as letters: R red, B blue, G green, K black, F the
    // button face, M the menu colour, ? other.
    std::vector<std::string> Rows() const {
        const COLORREF face = GetSysColor(COLOR_BTNFACE), menu = GetSysColor(COLOR_MENU);
        std::vector<std::string> rows;
        for (int y = 0; y < pic.PictureSize().cy; ++y) {
            std::string row;
            for (int x = 0; x < pic.PictureSize().cx; ++x) {
                const COLORREF c = At(x, y);
                row += c == kTestColours[0]   ? 'R'
                       : c == kTestColours[1] ? 'B'
                       : c == kTestColours[2] ? 'G'
                       : c == kTestColours[3] ? 'K'
                       : c == face            ? 'F'
                       : c == menu            ? 'M'
                                              : '?';
            }
            rows.push_back(row);
        }
        return rows;
    }

    // Lets the worker draw one frame for each entry, every row of the surface
    // as that entry, and holds it in the wait after the last.
    void ExpectFrames(const std::vector<const char*>& expected) {
        for (const char* row : expected) {
            ASSERT_TRUE(stepper.AwaitFrame()) << row;
            EXPECT_EQ(Rows(), std::vector<std::string>(pic.PictureSize().cy, row));
            stepper.Next();
        }
        ASSERT_TRUE(stepper.AwaitFrame());
    }

    Watchdog watchdog{120000};
    SeamsRestored seams;
    FrameStepper stepper;
    HWND host = nullptr;
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
    ScreenToClient(host, &at);
    EXPECT_EQ(at.x, 20); // resized in place
    EXPECT_EQ(at.y, 30);
    EXPECT_TRUE(pic.ShowPicture());
    EXPECT_FALSE(pic.IsPlaying());
    EXPECT_EQ(ThreadCountSettlingTo(threads), threads);
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

// Counts the pictures decoded; the system decodes them.
std::atomic<int> g_decoded{0};
HRESULT WINAPI CountingLoad(LPSTREAM stream, LONG cb, BOOL runMode, REFIID iid, LPVOID* out) {
    static const auto load = reinterpret_cast<decltype(&OleLoadPicture)>(
        reinterpret_cast<void*>(GetProcAddress(LoadLibraryA("oleaut32.dll"), "OleLoadPicture")));
    ++g_decoded;
    return load(stream, cb, runMode, iid, out);
}

// Whatever the file says, a surface of more than 16 million pixels, or more
// than 1000 frames, is refused before a frame is decoded.
TEST_F(PictureTest, SurfacesAndFrameCountsPastTheLimitsFailBeforeDecoding) {
    CPictureEx::Seams().loadPicture = &CountingLoad;
    const std::vector<TestFrame> two{{0, 0, 1, 1, 0, 0, 5}, {0, 0, 1, 1, 1, 0, 5}};
    const std::vector<TestFrame> one{{0, 0, 1, 1, 0, 0, 5}};
    const struct {
        int width, height;
        const std::vector<TestFrame>* frames;
        BOOL loads;
    } cases[] = {
        {16384, 16384, &two, FALSE}, {16384, 16384, &one, FALSE}, {4001, 4000, &two, FALSE},
        {16384, 977, &two, FALSE},   {4000, 4000, &two, TRUE},    {16384, 976, &one, TRUE},
    };
    for (const auto& c : cases) {
        g_decoded = 0;
        EXPECT_EQ(Load(MakeGif(c.width, c.height, *c.frames)), c.loads)
            << c.width << "x" << c.height;
        EXPECT_EQ(g_decoded > 0, c.loads == TRUE) << c.width << "x" << c.height;
        pic.FreePicture();
    }

    std::vector<TestFrame> frames(1001, TestFrame{0, 0, 1, 1, 0, 1, 5});
    g_decoded = 0;
    EXPECT_FALSE(Load(MakeGif(2, 2, frames)));
    EXPECT_EQ(g_decoded, 0);
    EXPECT_FALSE(pic.ShowPicture());

    frames.pop_back();
    ASSERT_TRUE(Load(MakeGif(2, 2, frames)));
    EXPECT_EQ(pic.FrameCount(), 1000u);
    EXPECT_EQ(g_decoded, 1000);
}

// A stream factory that cannot make a stream, and the blocks it was offered.
struct Offered {
    HGLOBAL block;
    BOOL deleteOnRelease;
};
std::vector<Offered> g_offered;
HRESULT WINAPI FailingStream(HGLOBAL block, BOOL deleteOnRelease, LPSTREAM* stream) {
    g_offered.push_back({block, deleteOnRelease});
    *stream = nullptr;
    return E_OUTOFMEMORY;
}

// Frame blocks of more than a megabyte each: the heap gives them pages of
// their own and hands the pages back when they are freed.
bool Committed(HGLOBAL block) {
    MEMORY_BASIC_INFORMATION mbi{};
    return VirtualQuery(block, &mbi, sizeof(mbi)) && mbi.State == MEM_COMMIT;
}

TEST_F(PictureTest, AFrameBlockIsFreedWhenItsStreamCannotBeMade) {
    CPictureEx::Seams().createStream = &FailingStream;
    g_offered.clear();
    EXPECT_FALSE(
        Load(MakeGif(2000, 1000, {{0, 0, 2000, 1000, 0, 1, 5}, {0, 0, 2000, 1000, 1, 1, 5}})));
    ASSERT_EQ(g_offered.size(), 2u); // one block per frame, each for the stream to free
    for (const Offered& o : g_offered) {
        EXPECT_TRUE(o.deleteOnRelease);
        EXPECT_EQ(GlobalSize(o.block), 0u);
        EXPECT_FALSE(Committed(o.block));
    }

    // A still picture's block stays the caller's.
    g_offered.clear();
    const std::vector<uint8_t> still = MakeGif(4, 4, {{0, 0, 4, 4, 1, 0, 0}});
    HGLOBAL h = ToGlobal(still);
    EXPECT_FALSE(pic.LoadFromMemory(h, static_cast<DWORD>(still.size())));
    ASSERT_EQ(g_offered.size(), 1u);
    EXPECT_EQ(g_offered[0].block, h);
    EXPECT_FALSE(g_offered[0].deleteOnRelease);
    EXPECT_EQ(GlobalSize(h), still.size());
    GlobalFree(h);
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

// Delays under 5 hundredths, and a frame without delay, wait 100 ms; from 5
// on, a frame waits its delay.
TEST_F(PictureTest, EachFrameWaitsItsDelayOrAShortDelaysHundredMilliseconds) {
    stepper.Install();
    std::vector<TestFrame> frames;
    for (uint16_t delay : {0, 1, 2, 3, 4, 5, 50})
        frames.push_back({0, 0, 2, 2, uint8_t(delay % 4), 1, delay});
    frames.push_back({0, 0, 2, 2, 0, 1, 0, false});
    ASSERT_TRUE(Load(MakeGif(2, 2, frames)));
    pic.ShowPicture();
    for (size_t i = 0; i < frames.size(); ++i) {
        ASSERT_TRUE(stepper.AwaitFrame()) << "frame " << i;
        stepper.Next();
    }
    ASSERT_TRUE(stepper.AwaitFrame());
    pic.StopAnimation();
    const std::vector<DWORD> expected{100, 100, 100, 100, 100, 50, 500, 100, 100};
    EXPECT_EQ(stepper.waits, expected);
}

// Frame 1 covers the screen red; frames 2 and 3 are each put back to what lay
// under them once their time is over.
TEST_F(PictureTest, RestoreToPreviousPutsBackWhatLayUnderTheFrame) {
    WarmUp();
    const ProcessCounts before = CountProcessObjects();
    stepper.Install();
    ASSERT_TRUE(Load(
        MakeGif(16, 8, {{0, 0, 16, 8, 0, 1, 5}, {0, 0, 8, 8, 1, 3, 5}, {4, 0, 8, 8, 2, 3, 5}})));
    pic.ShowPicture();
    const std::vector<const char*> expected = {
        "RRRRRRRRRRRRRRRR", // frame 1
        "BBBBBBBBRRRRRRRR", // frame 2 over it
        "RRRRGGGGGGGGRRRR", // frame 2 taken away, frame 3 over what it covered
        "RRRRRRRRRRRRRRRR", // frame 3 taken away, the wrap, frame 1
        "BBBBBBBBRRRRRRRR",
    };
    ExpectFrames(expected);
    pic.StopAnimation(); // frame 3 is on, its save area kept for the next show
    pic.FreePicture();
    EXPECT_EQ(CountsSettlingTo(before), before);
}

// A frame that is restored to the background is cleared to the button face
// as its time ends, before the next frame: frame 3 leaves frame 2's half
// alone, so no later fill of the whole surface could do it instead.
TEST_F(PictureTest, ARestoreToBackgroundClearsToTheButtonFaceBeforeTheNextFrame) {
    ASSERT_NE(GetSysColor(COLOR_BTNFACE), GetSysColor(COLOR_MENU));
    stepper.Install();
    ASSERT_TRUE(Load(
        MakeGif(16, 8, {{0, 0, 16, 8, 0, 1, 5}, {8, 0, 8, 8, 1, 2, 5}, {0, 0, 8, 8, 2, 1, 5}})));
    pic.ShowPicture();
    const std::vector<const char*> expected = {
        "RRRRRRRRRRRRRRRR", // frame 1
        "RRRRRRRRBBBBBBBB", // frame 2 over it
        "GGGGGGGGFFFFFFFF", // frame 2 cleared, frame 3 beside it
    };
    ExpectFrames(expected);
    pic.StopAnimation();
}

// A stop while a restore-to-previous frame is on leaves its restore pending;
// the next show makes it before it draws the frame again.
TEST_F(PictureTest, TheDisposalLeftPendingByAStopIsMadeOnTheNextShow) {
    WarmUp();
    const ProcessCounts before = CountProcessObjects();
    stepper.Install();
    ASSERT_TRUE(Load(
        MakeGif(16, 8, {{0, 0, 16, 8, 0, 1, 5}, {0, 0, 8, 8, 1, 3, 5}, {8, 0, 8, 8, 2, 1, 5}})));
    pic.ShowPicture();
    ASSERT_TRUE(stepper.AwaitFrame());
    stepper.Next();
    ASSERT_TRUE(stepper.AwaitFrame()); // frame 2 is on
    pic.StopAnimation();
    EXPECT_EQ(Rows(), std::vector<std::string>(8, "BBBBBBBBRRRRRRRR"));

    pic.ShowPicture();
    const std::vector<const char*> expected = {
        "BBBBBBBBRRRRRRRR", // frame 2 again, over what lay under it
        "RRRRRRRRGGGGGGGG", // frame 2 taken away, frame 3
    };
    ExpectFrames(expected);
    pic.FreePicture();
    // No save area is left over from before the stop.
    EXPECT_EQ(CountsSettlingTo(before), before);
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
    EXPECT_EQ(ThreadCountSettlingTo(threads), threads);
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
    WarmUp();
    const ProcessCounts before = CountProcessObjects();
    const int threads = ThreadCount();
    ASSERT_TRUE(Load(Blinker(5)));
    CPictureEx::Seams().frameWait = &CountingWait;
    g_framesDrawn = 0;
    pic.ShowPicture();
    EXPECT_EQ(ThreadCount(), threads + 1);
    for (int i = 0; i < 500 && g_framesDrawn < 2; ++i)
        std::this_thread::sleep_for(10ms);
    EXPECT_GE(g_framesDrawn, 2);
    DestroyWindow(hStatic);
    EXPECT_FALSE(pic.IsPlaying());
    EXPECT_EQ(ThreadCountSettlingTo(threads), threads);
    pic.FreePicture();
    EXPECT_EQ(CountsSettlingTo(before), before);
}

// Once the window is gone there is nothing to show the picture in: no
// worker starts and no window is invalidated.
TEST_F(PictureTest, ShowingAfterTheWindowIsGoneDoesNothing) {
    const HWND popup = CreateTestWindow(WS_POPUP | WS_VISIBLE, 40, 40);
    ASSERT_TRUE(popup);
    const int threads = ThreadCount();
    const std::vector<uint8_t> gifs[] = {MakeGif(4, 4, {{0, 0, 4, 4, 1, 0, 0}}), Blinker(5)};
    for (const auto& gif : gifs) {
        if (!IsWindow(host))
            SetUp();
        ASSERT_TRUE(Load(gif));
        DestroyWindow(host);
        PumpFor(50ms);
        g_paints = 0;
        EXPECT_FALSE(pic.ShowPicture());
        EXPECT_FALSE(pic.IsPlaying());
        EXPECT_EQ(ThreadCountSettlingTo(threads), threads);
        PumpFor(200ms);
        EXPECT_EQ(g_paints, 0);
        pic.FreePicture();
    }
    DestroyWindow(popup);
}

// A frame picture whose Render holds the worker until the test lets go.
class BlockingPicture final : public IPicture {
public:
    BlockingPicture() = default;
    ~BlockingPicture() {
        CloseHandle(entered);
        CloseHandle(release);
    }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (iid != IID_IUnknown && iid != IID_IPicture) {
            *out = nullptr;
            return E_NOINTERFACE;
        }
        *out = this;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override {
        const long n = --refs;
        if (n == 0) {
            ++finalReleases;
            if (rendering)
                releasedWhileRendering = true;
        }
        return n;
    }
    HRESULT STDMETHODCALLTYPE get_Width(OLE_XSIZE_HIMETRIC* p) override {
        *p = 212;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_Height(OLE_YSIZE_HIMETRIC* p) override {
        *p = 212;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Render(HDC, LONG, LONG, LONG, LONG, OLE_XPOS_HIMETRIC,
                                     OLE_YPOS_HIMETRIC, OLE_XSIZE_HIMETRIC, OLE_YSIZE_HIMETRIC,
                                     LPCRECT) override {
        rendering = true;
        SetEvent(entered);
        WaitForSingleObject(release, INFINITE);
        rendering = false;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_Handle(OLE_HANDLE*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_hPal(OLE_HANDLE*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Type(SHORT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE set_hPal(OLE_HANDLE) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_CurDC(HDC*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SelectPicture(HDC, HDC*, OLE_HANDLE*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_KeepOriginalFormat(BOOL*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_KeepOriginalFormat(BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE PictureChanged() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SaveAsFile(LPSTREAM, BOOL, LONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Attributes(DWORD*) override { return E_NOTIMPL; }

    HANDLE entered = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::atomic<long> refs{1}; // the one the control gets
    std::atomic<int> finalReleases{0};
    std::atomic<bool> rendering{false};
    std::atomic<bool> releasedWhileRendering{false};
};

BlockingPicture* g_blocking = nullptr;
HRESULT WINAPI FirstFrameBlocks(LPSTREAM stream, LONG cb, BOOL runMode, REFIID iid, LPVOID* out) {
    if (BlockingPicture* p = std::exchange(g_blocking, nullptr)) {
        *out = static_cast<IPicture*>(p);
        return S_OK;
    }
    return CountingLoad(stream, cb, runMode, iid, out);
}

// A blocking double for one test. Should the test end early, the worker is
// let go; the control may then still hold the double.
struct HeldPicture {
    BlockingPicture* picture = new BlockingPicture;
    HeldPicture() = default;
    HeldPicture(const HeldPicture&) = delete;
    ~HeldPicture() {
        SetEvent(picture->release);
        if (picture->refs == 0)
            delete picture;
    }
};

// A worker stuck past the stop's limit while its window goes: the window's
// thread neither waits for it forever nor lets it invalidate other windows,
// and still answers other threads while it waits for it.
TEST_F(PictureTest, AWorkerPastTheStopLimitDeadlocksNothing) {
    HeldPicture held;
    BlockingPicture& blocking = *held.picture;
    const HWND popup = CreateTestWindow(WS_POPUP | WS_VISIBLE, 40, 40);
    ASSERT_TRUE(popup);
    PumpFor(50ms);
    const int threads = ThreadCount();

    g_blocking = &blocking;
    CPictureEx::Seams().loadPicture = &FirstFrameBlocks;
    ASSERT_TRUE(Load(Blinker(5)));
    pic.ShowPicture();
    ASSERT_EQ(WaitForSingleObject(blocking.entered, 10000), WAIT_OBJECT_0);

    DestroyWindow(host); // gives up on the worker after the stop's limit
    EXPECT_FALSE(IsWindow(hStatic));
    EXPECT_TRUE(pic.IsPlaying());
    PumpFor(50ms);
    g_paints = 0;

    // Another thread sends this one a message while it waits for the late
    // worker, then lets the worker go.
    std::atomic<bool> answered{false};
    std::thread other([&] {
        std::this_thread::sleep_for(300ms);
        DWORD_PTR result = 0;
        answered = SendMessageTimeoutA(popup, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &result) != 0;
        SetEvent(blocking.release);
    });
    pic.FreePicture();
    other.join();
    EXPECT_TRUE(answered);
    EXPECT_FALSE(pic.IsPlaying());
    EXPECT_EQ(ThreadCountSettlingTo(threads), threads);
    PumpFor(200ms);
    EXPECT_EQ(g_paints, 0);
    EXPECT_EQ(blocking.refs, 0);
    EXPECT_EQ(blocking.finalReleases, 1);
    EXPECT_FALSE(blocking.releasedWhileRendering);
    DestroyWindow(popup);
}

// A worker held in drawing for a second and a half, well inside the stop's
// limit: the stop returns only once the worker has finished.
TEST_F(PictureTest, AStopWaitsForAWorkerThatIsStillDrawing) {
    HeldPicture held;
    BlockingPicture& blocking = *held.picture;
    const int threads = ThreadCount();
    g_blocking = &blocking;
    CPictureEx::Seams().loadPicture = &FirstFrameBlocks;
    ASSERT_TRUE(Load(Blinker(5)));
    pic.ShowPicture();
    ASSERT_EQ(WaitForSingleObject(blocking.entered, 10000), WAIT_OBJECT_0);

    std::thread releaser([&] {
        std::this_thread::sleep_for(1500ms);
        SetEvent(blocking.release);
    });
    pic.StopAnimation();
    const bool stillDrawing = blocking.rendering;
    const bool playing = pic.IsPlaying();
    releaser.join();
    EXPECT_FALSE(stillDrawing);
    EXPECT_FALSE(playing);
    EXPECT_EQ(ThreadCountSettlingTo(threads), threads);
    pic.FreePicture();
    EXPECT_EQ(blocking.finalReleases, 1);
    EXPECT_FALSE(blocking.releasedWhileRendering);
}

TEST(ProcessCounters, EachCounterSeesWhatItCounts) {
    const ProcessCounts before = CountProcessObjects();

    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HBITMAP bitmap = CreateBitmap(4, 4, 1, 32, nullptr);
    HANDLE thread = CreateThread(
        nullptr, 0, [](LPVOID e) -> DWORD { return WaitForSingleObject(e, INFINITE); }, event, 0,
        nullptr);
    const ProcessCounts during = CountProcessObjects();
    // The thread's handle and the event are two handles.
    EXPECT_EQ(during.handles, before.handles + 2);
    EXPECT_EQ(during.gdiObjects, before.gdiObjects + 1);
    EXPECT_EQ(during.threads, before.threads + 1);

    SetEvent(event);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    CloseHandle(event);
    DeleteObject(bitmap);
    EXPECT_EQ(CountsSettlingTo(before), before);
}

// Load, show, stop and free, 200 times: the notice, a quick blinker and GIFs
// built to trip the reader. Every fifth cycle the worker plays through a
// wrap (three frames drawn, with the fills between them) before the stop.
TEST_F(PictureTest, CyclesLeaveNoObjectsHandlesOrThreadsBehind) {
    const std::vector<NamedGif> hostile = HostileGifs();
    const std::vector<uint8_t> blinker = Blinker(5);
    CPictureEx::Seams().frameWait = &CountingWait;
    auto loadInput = [&](int i, std::string& name) {
        if (i % 25 == 0) {
            name = "notice";
            return pic.LoadFromResource();
        }
        if (i % 5 == 0) {
            name = "blinker";
            return Load(blinker);
        }
        const NamedGif& gif = hostile[i % hostile.size()];
        name = gif.name;
        return Load(gif.bytes);
    };

    // One cycle over every input first: the loader's own one-time set-up is
    // not a leak.
    std::string name;
    for (int i = 0; i < int(hostile.size()) + 25; ++i) {
        if (loadInput(i, name))
            pic.ShowPicture();
        pic.FreePicture();
    }

    const ProcessCounts before = CountProcessObjects();
    std::chrono::steady_clock::duration longestStop{};
    int stops = 0, drawing = 0;
    for (int i = 0; i < 200; ++i) {
        const BOOL loaded = loadInput(i, name);
        if (i % 5 == 0) {
            ASSERT_TRUE(loaded) << name;
        }
        g_framesDrawn = 0;
        if (loaded)
            pic.ShowPicture();
        if (i % 5 == 0) {
            ASSERT_TRUE(pic.IsPlaying()) << name;
            for (int wait = 0; wait < 1000 && g_framesDrawn < 3; ++wait)
                std::this_thread::sleep_for(5ms);
            ASSERT_GE(g_framesDrawn, 3) << name;
            ++drawing;
        }
        if (pic.IsPlaying()) {
            const auto start = std::chrono::steady_clock::now();
            pic.StopAnimation();
            longestStop = std::max(longestStop, std::chrono::steady_clock::now() - start);
            ++stops;
            EXPECT_FALSE(pic.IsPlaying()) << name;
        }
        pic.FreePicture();
    }
    const ProcessCounts after = CountsSettlingTo(before);
    const auto longestMs =
        std::chrono::duration_cast<std::chrono::microseconds>(longestStop).count() / 1000.0;
    printf("handles %d -> %d, GDI objects %d -> %d, threads %d -> %d; %d stops of a playing "
           "worker, %d after three frames or more, the longest %.1f ms\n",
           before.handles, after.handles, before.gdiObjects, after.gdiObjects, before.threads,
           after.threads, stops, drawing, longestMs);
    EXPECT_EQ(after, before);
    EXPECT_EQ(drawing, 40);
    // Every stop is answered by the worker, none waits out its 5 s limit. How
    // prompt a stop is belongs to the bench: on a loaded machine the
    // scheduler alone can hold one for hundreds of milliseconds.
    EXPECT_LT(longestStop, 2500ms);
}

} // namespace
