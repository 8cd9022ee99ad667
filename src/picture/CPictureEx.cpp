#include "picture/CPictureEx.h"

#include "framework/App.h"
#include "resource.h"
#include "framework/OnDemand.h"

#include <cstdint>
#include <cstring>

namespace {

constexpr DWORD kStopWaitMs = 5000;
constexpr DWORD kShortDelayMs = 100; // delays 0 to 4, and frames without a delay
constexpr int kMaxSurfaceSide = 16384;

// A frame's wait: delay x 10 ms, except that delays under 5 hundredths, and a
// frame without graphic control extension, wait 100 ms.
DWORD FrameWaitMs(DWORD delay) {
    return delay >= 5 && delay <= 0xFFFF ? delay * 10 : kShortDelayMs;
}

// A picture's own size in hundredths of a millimetre.
SIZE HimetricSize(IPicture* picture) {
    OLE_XSIZE_HIMETRIC width = 0;
    OLE_YSIZE_HIMETRIC height = 0;
    picture->get_Width(&width);
    picture->get_Height(&height);
    return SIZE{width, height};
}

// The whole picture, scaled into the rectangle. HIMETRIC's y axis points up,
// so the source starts at the picture's height and runs back to 0.
HRESULT RenderPicture(IPicture* picture, HDC hdc, int x, int y, int cx, int cy) {
    const SIZE hm = HimetricSize(picture);
    return picture->Render(hdc, x, y, cx, cy, 0, hm.cy, hm.cx, -hm.cy, nullptr);
}

RECT RectOf(const AnimFrame& f) {
    return RECT{f.left, f.top, f.left + f.width, f.top + f.height};
}

// A movable block's bytes for the length of a scope.
class LockedGlobal {
public:
    explicit LockedGlobal(HGLOBAL hBlock)
        : m_hBlock(hBlock), m_pb(static_cast<uint8_t*>(GlobalLock(hBlock))) {}
    LockedGlobal(const LockedGlobal&) = delete;
    ~LockedGlobal() {
        if (m_pb)
            GlobalUnlock(m_hBlock);
    }
    uint8_t* Bytes() const { return m_pb; }

private:
    HGLOBAL m_hBlock;
    uint8_t* m_pb;
};

// A walk over locked bytes. Declared after the lock, it ends before the block
// is unlocked, so no pointer into the block outlives the lock.
class WalkOver {
public:
    WalkOver(CGifWalk& walk, const uint8_t* pb, uint32_t cb) : m_walk(walk) { walk.Begin(pb, cb); }
    WalkOver(const WalkOver&) = delete;
    ~WalkOver() { m_walk.End(); }

private:
    CGifWalk& m_walk;
};

// A window's device context for the length of a scope.
class WindowDC {
public:
    explicit WindowDC(HWND hWnd) : m_hWnd(hWnd), m_hDC(GetDC(hWnd)) {}
    WindowDC(const WindowDC&) = delete;
    ~WindowDC() {
        if (m_hDC)
            ReleaseDC(m_hWnd, m_hDC);
    }
    HDC Get() const { return m_hDC; }

private:
    HWND m_hWnd;
    HDC m_hDC;
};

// A surface larger than this, or a picture of more frames, is refused before
// anything is decoded: the process would run short of memory or GDI objects.
constexpr int64_t kMaxSurfacePixels = 16000000;
constexpr uint32_t kMaxFrames = 1000;

bool SurfaceFits(int width, int height) {
    return width > 0 && height > 0 && width <= kMaxSurfaceSide && height <= kMaxSurfaceSide &&
           int64_t(width) * height <= kMaxSurfacePixels;
}

// The picture loader comes with OLE, which the program loads only when it
// shows a picture.
IPicture* LoadPictureFrom(HGLOBAL hData, BOOL deleteOnRelease, LONG cbData) {
    static const auto systemCreateStream =
        OnDemand<decltype(&CreateStreamOnHGlobal)>("ole32.dll", "CreateStreamOnHGlobal");
    static const auto systemLoadPicture =
        OnDemand<decltype(&OleLoadPicture)>("oleaut32.dll", "OleLoadPicture");
    const PictureSeams& seams = CPictureEx::Seams();
    const auto createStream = seams.createStream ? seams.createStream : systemCreateStream;
    const auto loadPicture = seams.loadPicture ? seams.loadPicture : systemLoadPicture;
    IStream* stream = nullptr;
    if (!createStream || !loadPicture || FAILED(createStream(hData, deleteOnRelease, &stream)) ||
        !stream) {
        // The stream that was to free the block never took it.
        if (deleteOnRelease)
            GlobalFree(hData);
        return nullptr;
    }
    IPicture* picture = nullptr;
    const HRESULT hr =
        loadPicture(stream, cbData, FALSE, IID_IPicture, reinterpret_cast<void**>(&picture));
    stream->Release();
    if (hr != S_OK && picture) {
        picture->Release();
        picture = nullptr;
    }
    return hr == S_OK ? picture : nullptr;
}

// The user may have turned animations off in the system's settings; a
// system that cannot tell has them on.
bool AnimationsWanted() {
    BOOL on = TRUE;
    return !SystemParametersInfoA(SPI_GETCLIENTAREAANIMATION, 0, &on, 0) || on;
}

} // namespace

BEGIN_MESSAGE_MAP(CPictureEx, CStatic)
ON_WM_PAINT()
ON_WM_DESTROY()
END_MESSAGE_MAP()

PictureSeams& CPictureEx::Seams() {
    static PictureSeams seams;
    return seams;
}

CPictureEx::CPictureEx() = default;

CPictureEx::~CPictureEx() {
    FreePicture();
}

BOOL CPictureEx::LoadFromResource() {
    HINSTANCE hModule = AfxGetResourceHandle();
    HRSRC hRes = FindResourceA(hModule, MAKEINTRESOURCEA(IDR_NOTICE_GIF), "GIF");
    if (!hRes)
        return FALSE;
    HGLOBAL hResData = LoadResource(hModule, hRes);
    if (!hResData)
        return FALSE;
    const DWORD cb = SizeofResource(hModule, hRes);
    HGLOBAL hBlock = GlobalAlloc(GMEM_MOVEABLE | GMEM_NODISCARD, cb);
    if (!hBlock)
        return FALSE;
    bool copied = false;
    {
        const LockedGlobal block(hBlock);
        const void* src = LockResource(hResData);
        copied = block.Bytes() && src;
        if (copied)
            memcpy(block.Bytes(), src, cb);
    }
    const BOOL loaded = copied && LoadFromMemory(hBlock, cb);
    GlobalFree(hBlock);
    return loaded;
}

BOOL CPictureEx::LoadFromMemory(HGLOBAL hData, DWORD cbData) {
    FreePicture(); // waits for any worker, however late
    switch (Decode(hData, cbData)) {
    case Decoded::Refused:
        return FALSE;
    case Decoded::NotGif:
        return LoadStill(hData, cbData);
    case Decoded::StillGif:
        // The loader reads the block itself, unlocked again by now.
        m_pStill = LoadPictureFrom(hData, FALSE, static_cast<LONG>(cbData));
        return m_pStill && PrepareSurface(m_sizePicture.cx, m_sizePicture.cy);
    case Decoded::Frames:
        return !m_frames.empty() && PrepareSurface(m_sizePicture.cx, m_sizePicture.cy);
    }
    return FALSE;
}

// Everything that reads the data while it is locked: recognition, the header,
// and for an animation every frame's picture.
CPictureEx::Decoded CPictureEx::Decode(HGLOBAL hData, DWORD cbData) {
    const LockedGlobal data(hData);
    if (!data.Bytes())
        return Decoded::Refused;
    const WalkOver walk(*this, data.Bytes(), cbData);
    if (!HasGifSignature(data.Bytes(), cbData))
        return Decoded::NotGif;

    m_bGif = TRUE;
    int32_t width = 0, height = 0;
    // Starts like a GIF but cannot even hold its header and colour table.
    if (!ReadHeader(width, height))
        return Decoded::Refused;
    m_sizePicture = {width, height};

    const uint32_t units = CountFrameUnits();
    if (units == 0 || units > kMaxFrames || !SurfaceFits(width, height))
        return Decoded::Refused;
    if (units == 1)
        return Decoded::StillGif;

    Rewind();
    while (const std::optional<FrameStream> stream = BuildFrameStream()) {
        // The stream owns the block from here on and frees it on release.
        const GifFrameUnit& u = stream->unit;
        if (IPicture* picture = LoadPictureFrom(stream->block, TRUE, static_cast<LONG>(stream->cb)))
            m_frames.push_back({picture, u.width, u.height, u.left, u.top, u.delay,
                                static_cast<Disposal>(u.disposal)});
    }
    return Decoded::Frames;
}

BOOL CPictureEx::LoadStill(HGLOBAL hData, DWORD cbData) {
    m_pStill = LoadPictureFrom(hData, FALSE, static_cast<LONG>(cbData));
    if (!m_pStill || !m_hWnd)
        return FALSE;
    const SIZE hm = HimetricSize(m_pStill);
    {
        const WindowDC window(m_hWnd);
        if (!window.Get())
            return FALSE;
        m_sizePicture = {MulDiv(hm.cx, GetDeviceCaps(window.Get(), LOGPIXELSX), 2540),
                         MulDiv(hm.cy, GetDeviceCaps(window.Get(), LOGPIXELSY), 2540)};
    }
    return PrepareSurface(m_sizePicture.cx, m_sizePicture.cy);
}

std::optional<CPictureEx::FrameStream> CPictureEx::BuildFrameStream() {
    GifFrameUnit unit{};
    if (!NextFrameUnit(unit))
        return std::nullopt;
    const DWORD cb = FrameStreamLength(unit);
    HGLOBAL hStream = GlobalAlloc(GMEM_FIXED, cb);
    if (!hStream)
        return std::nullopt;
    CopyFrameStream(unit, LockedGlobal(hStream).Bytes());
    return FrameStream{hStream, cb, unit};
}

BOOL CPictureEx::PrepareSurface(int width, int height) {
    if (!m_hWnd || !SurfaceFits(width, height))
        return FALSE;
    ::SetWindowPos(m_hWnd, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER);
    const WindowDC window(m_hWnd);
    // Made like the window's context, not like a memory one: a colour bitmap.
    if (!window.Get() || !m_surface.Create(window.Get(), width, height))
        return FALSE;
    m_crFill = GetSysColor(COLOR_BTNFACE);
    // The first fill is the menu colour; every later fill is m_crFill.
    RECT rc{0, 0, width, height};
    ::FillRect(m_surface.Get(), &rc, reinterpret_cast<HBRUSH>(COLOR_MENU + 1));
    return TRUE;
}

BOOL CPictureEx::ShowPicture() {
    // The surface outlives the window; without the window there is nothing
    // to show it in.
    if (!m_surface || !m_hWnd || !IsWindow(m_hWnd))
        return FALSE;
    if (m_bGif && m_frames.size() > 1) {
        if (!AnimationsWanted())
            return ShowFirstFrame();
        if (!m_worker.CanStart())
            return FALSE;
        m_hWndPlay = m_hWnd;
        m_worker.Start(&CPictureEx::AnimationThreadProc, this);
        // FALSE although the animation now plays: TRUE means a still picture
        // was drawn, and callers ignore the result of an animation.
        return FALSE;
    }
    if (!m_pStill)
        return FALSE;
    if (FAILED(RenderPicture(m_pStill, m_surface.Get(), 0, 0, m_sizePicture.cx, m_sizePicture.cy)))
        return FALSE;
    InvalidateRect(m_hWnd, nullptr, FALSE);
    return TRUE;
}

// Drawn as the animation would draw it first, and left standing.
BOOL CPictureEx::ShowFirstFrame() {
    const AnimFrame& f = m_frames.front();
    if (!f.picture || m_worker.Running() ||
        FAILED(RenderPicture(f.picture, m_surface.Get(), f.left, f.top, f.width, f.height)))
        return FALSE;
    InvalidateRect(m_hWnd, nullptr, FALSE);
    return TRUE;
}

DWORD WINAPI CPictureEx::AnimationThreadProc(LPVOID pControl) {
    // The handle stays with the control: the stop waits on it and closes it,
    // exactly once.
    static_cast<CPictureEx*>(pControl)->PlayFrames();
    return 0;
}

void CPictureEx::Fill(const RECT& rc) const {
    if (HBRUSH hBrush = CreateSolidBrush(m_crFill)) {
        ::FillRect(m_surface.Get(), &rc, hBrush);
        DeleteObject(hBrush);
    }
}

void CPictureEx::TakeSaveArea(const AnimFrame& f) {
    // Without a save area the frame is simply not restored.
    if (m_save.Create(m_surface.Get(), f.width, f.height))
        BitBlt(m_save.Get(), 0, 0, f.width, f.height, m_surface.Get(), f.left, f.top, SRCCOPY);
}

void CPictureEx::RestoreSaveArea(const AnimFrame& f) {
    if (!m_save)
        return;
    BitBlt(m_surface.Get(), f.left, f.top, f.width, f.height, m_save.Get(), 0, 0, SRCCOPY);
    m_save.Reset();
}

void CPictureEx::Dispose(const AnimFrame& f) {
    switch (f.disposal) {
    case Disposal::Background:
        Fill(RectOf(f));
        break;
    case Disposal::Previous:
        RestoreSaveArea(f);
        break;
    default: // the frame stays on the surface
        break;
    }
}

void CPictureEx::PlayFrames() {
    // A stop left the last frame's disposal pending.
    Dispose(m_frames[m_iFrame]);
    while (!m_worker.QuitRequested()) {
        const AnimFrame& f = m_frames[m_iFrame];
        if (f.picture) {
            if (f.disposal == Disposal::Previous)
                TakeSaveArea(f);
            const HRESULT hr =
                RenderPicture(f.picture, m_surface.Get(), f.left, f.top, f.width, f.height);
            if (HWND hWnd = m_hWndPlay; hr == S_OK && hWnd)
                InvalidateRect(hWnd, nullptr, FALSE);
            if (m_worker.QuitRequested())
                break;
            const DWORD ms = FrameWaitMs(f.delay);
            if (const auto wait = Seams().frameWait)
                wait(m_worker.QuitEvent(), ms);
            else
                WaitForSingleObject(m_worker.QuitEvent(), ms);
            // Left here, the frame stays on with its disposal pending.
            if (m_worker.QuitRequested())
                break;
            Dispose(f);
        }
        if (++m_iFrame == m_frames.size()) {
            m_iFrame = 0;
            Fill(RECT{0, 0, m_sizePicture.cx, m_sizePicture.cy});
        }
    }
}

void CPictureEx::StopAnimation() {
    // A worker still running past the limit keeps the quit request and all
    // it uses; IsPlaying stays true until it has been waited for.
    m_worker.Stop(kStopWaitMs);
}

void CPictureEx::FreePicture() {
    StopAnimation();
    // Nothing the worker uses may go while it runs, however long it takes.
    if (m_worker.Running())
        m_worker.Stop(INFINITE);
    m_hWndPlay = nullptr;
    if (m_pStill) {
        m_pStill->Release();
        m_pStill = nullptr;
    }
    for (AnimFrame& f : m_frames)
        if (f.picture)
            f.picture->Release();
    m_frames.clear();
    m_surface.Reset();
    m_save.Reset();
    End();
    m_bGif = FALSE;
    m_crFill = RGB(255, 255, 255);
    m_cbColorTable = 0;
    m_iFrame = 0;
}

void CPictureEx::OnPaint() {
    PAINTSTRUCT ps;
    HDC hdc = BeginPaint(m_hWnd, &ps);
    if (m_surface)
        BitBlt(hdc, 0, 0, m_sizePicture.cx, m_sizePicture.cy, m_surface.Get(), 0, 0, SRCCOPY);
    EndPaint(m_hWnd, &ps);
}

void CPictureEx::OnDestroy() {
    StopAnimation();
    // A worker still running past the stop's limit invalidates nothing more.
    m_hWndPlay = nullptr;
    Default();
}
