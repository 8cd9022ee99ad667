// Loading: the notice from the resources, a still picture, or a GIF split
// into one picture a frame, and the surface they are composed on.
#include "picture/CPictureEx.h"

#include "framework/App.h"
#include "resource.h"
#include "framework/OnDemand.h"
#include "picture/PictureDraw.h"

#include <cstdint>
#include <cstring>

namespace {

constexpr int kMaxSurfaceSide = 16384;

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

} // namespace

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
