#include "picture/CPictureEx.h"

#include "framework/App.h"
#include "resource.h"
#include "framework/OnDemand.h"

#include <climits>

namespace {

constexpr DWORD kStopWaitMs = 5000;
constexpr DWORD kShortDelayMs = 100; // delays 0 to 4, and frames without a delay
constexpr int kMaxSurfaceSide = 16384;

// A frame's wait: delay x 10 ms, except that delays under 5 hundredths, and a
// frame without graphic control extension, wait 100 ms.
DWORD FrameWaitMs(DWORD delay) {
    return delay >= 5 && delay <= 0xFFFF ? delay * 10 : kShortDelayMs;
}

void RenderPicture(IPicture* picture, HDC hdc, int x, int y, int cx, int cy, HRESULT& hr) {
    OLE_XSIZE_HIMETRIC hmWidth = 0;
    OLE_YSIZE_HIMETRIC hmHeight = 0;
    picture->get_Width(&hmWidth);
    picture->get_Height(&hmHeight);
    hr = picture->Render(hdc, x, y, cx, cy, 0, hmHeight, hmWidth, -hmHeight, nullptr);
}

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

BEGIN_MESSAGE_MAP(CPictureEx, CStatic)
ON_WM_PAINT()
ON_WM_DESTROY()
END_MESSAGE_MAP()

PictureSeams& CPictureEx::Seams() {
    static PictureSeams seams;
    return seams;
}

CPictureEx::CPictureEx() {
    m_hQuitEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
}

CPictureEx::~CPictureEx() {
    FreePicture();
    if (m_hQuitEvent)
        CloseHandle(m_hQuitEvent);
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
    void* dst = GlobalLock(hBlock);
    const void* src = LockResource(hResData);
    if (!dst || !src) {
        if (dst)
            GlobalUnlock(hBlock);
        GlobalFree(hBlock);
        return FALSE;
    }
    memcpy(dst, src, cb);
    GlobalUnlock(hBlock);
    const BOOL loaded = LoadFromMemory(hBlock, cb);
    GlobalFree(hBlock);
    return loaded;
}

BOOL CPictureEx::LoadFromMemory(HGLOBAL hData, DWORD cbData) {
    FreePicture(); // waits for any worker, however late

    const auto* pb = static_cast<const uint8_t*>(GlobalLock(hData));
    if (!pb)
        return FALSE;
    Begin(pb, cbData);
    if (!HasGifSignature(pb, cbData)) {
        End();
        GlobalUnlock(hData);
        return LoadStill(hData, cbData);
    }

    m_bGif = TRUE;
    int32_t width = 0, height = 0;
    if (!ReadHeader(width, height)) {
        // Starts like a GIF but cannot even hold its header and colour table.
        End();
        GlobalUnlock(hData);
        return FALSE;
    }
    m_sizePicture = {width, height};

    const uint32_t units = CountFrameUnits();
    if (units == 0 || units > kMaxFrames || !SurfaceFits(width, height)) {
        End();
        GlobalUnlock(hData);
        return FALSE;
    }
    if (units == 1) {
        End();
        GlobalUnlock(hData);
        m_pStill = LoadPictureFrom(hData, FALSE, static_cast<LONG>(cbData));
        if (!m_pStill)
            return FALSE;
        return PrepareSurface(m_sizePicture.cx, m_sizePicture.cy);
    }

    Rewind();
    for (;;) {
        DWORD cbStream = 0, delay = 0;
        SIZE size{};
        POINT pos{};
        int disposal = 0;
        HGLOBAL hStream = BuildFrameStream(cbStream, delay, size, pos, disposal);
        if (!hStream)
            break;
        // The stream owns the block from here on and frees it on release.
        if (IPicture* picture = LoadPictureFrom(hStream, TRUE, static_cast<LONG>(cbStream)))
            m_frames.push_back({picture, size.cx, size.cy, pos.x, pos.y, delay, disposal});
    }
    End();
    GlobalUnlock(hData);
    if (m_frames.empty())
        return FALSE;
    return PrepareSurface(m_sizePicture.cx, m_sizePicture.cy);
}

BOOL CPictureEx::LoadStill(HGLOBAL hData, DWORD cbData) {
    m_pStill = LoadPictureFrom(hData, FALSE, static_cast<LONG>(cbData));
    if (!m_pStill || !m_hWnd)
        return FALSE;
    OLE_XSIZE_HIMETRIC hmWidth = 0;
    OLE_YSIZE_HIMETRIC hmHeight = 0;
    m_pStill->get_Width(&hmWidth);
    m_pStill->get_Height(&hmHeight);
    HDC hdc = GetDC(m_hWnd);
    if (!hdc)
        return FALSE;
    const int width = MulDiv(hmWidth, GetDeviceCaps(hdc, LOGPIXELSX), 2540);
    const int height = MulDiv(hmHeight, GetDeviceCaps(hdc, LOGPIXELSY), 2540);
    ReleaseDC(m_hWnd, hdc);
    m_sizePicture = {width, height};
    return PrepareSurface(width, height);
}

HGLOBAL CPictureEx::BuildFrameStream(DWORD& cbStream, DWORD& delay, SIZE& size, POINT& pos,
                                     int& disposal) {
    GifFrameUnit unit{};
    if (!NextFrameUnit(unit))
        return nullptr;
    cbStream = FrameStreamLength(unit);
    HGLOBAL hStream = GlobalAlloc(GMEM_FIXED, cbStream);
    if (!hStream)
        return nullptr;
    CopyFrameStream(unit, static_cast<uint8_t*>(GlobalLock(hStream)));
    GlobalUnlock(hStream);
    delay = unit.delay;
    disposal = unit.disposal;
    size = {unit.width, unit.height};
    pos = {unit.left, unit.top};
    return hStream;
}

BOOL CPictureEx::PrepareSurface(int width, int height) {
    if (!m_hWnd || !SurfaceFits(width, height))
        return FALSE;
    ::SetWindowPos(m_hWnd, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER);
    HDC hdc = GetDC(m_hWnd);
    if (!hdc)
        return FALSE;
    m_hSurfaceDC = CreateCompatibleDC(hdc);
    if (!m_hSurfaceDC) {
        ReleaseDC(m_hWnd, hdc);
        return FALSE;
    }
    m_hSurfaceBmp = CreateCompatibleBitmap(hdc, width, height);
    if (!m_hSurfaceBmp) {
        ReleaseDC(m_hWnd, hdc);
        DeleteDC(m_hSurfaceDC);
        m_hSurfaceDC = nullptr;
        return FALSE;
    }
    m_hSurfaceOldBmp = SelectObject(m_hSurfaceDC, m_hSurfaceBmp);
    m_crFill = GetSysColor(COLOR_BTNFACE);
    // The first fill is the menu colour; every later fill is m_crFill.
    RECT rc{0, 0, width, height};
    ::FillRect(m_hSurfaceDC, &rc, reinterpret_cast<HBRUSH>(COLOR_MENU + 1));
    ReleaseDC(m_hWnd, hdc);
    m_bSurfaceReady = TRUE;
    return TRUE;
}

BOOL CPictureEx::ShowPicture() {
    // The surface outlives the window; without the window there is nothing
    // to show it in.
    if (!m_bSurfaceReady || !m_hWnd || !IsWindow(m_hWnd))
        return FALSE;
    if (m_bGif && m_frames.size() > 1) {
        // One worker at most, and none that could not be told to stop.
        if (m_hWorker || !m_hQuitEvent)
            return FALSE;
        m_hWndPlay = m_hWnd;
        HANDLE hThread = CreateThread(nullptr, 0, &CPictureEx::AnimationThreadProc, this,
                                      CREATE_SUSPENDED, nullptr);
        if (hThread) {
            m_hWorker = hThread; // in place before the worker runs
            if (ResumeThread(hThread) == static_cast<DWORD>(-1)) {
                // Never ran: nothing to unwind in it.
                TerminateThread(hThread, 0);
                CloseHandle(hThread);
                m_hWorker = nullptr;
            }
        }
        return FALSE;
    }
    if (!m_pStill)
        return FALSE;
    HRESULT hr;
    RenderPicture(m_pStill, m_hSurfaceDC, 0, 0, m_sizePicture.cx, m_sizePicture.cy, hr);
    if (FAILED(hr))
        return FALSE;
    InvalidateRect(m_hWnd, nullptr, FALSE);
    return TRUE;
}

DWORD WINAPI CPictureEx::AnimationThreadProc(LPVOID pControl) {
    // The handle stays with the control: StopAnimation waits on it and
    // closes it, exactly once.
    static_cast<CPictureEx*>(pControl)->PlayFrames();
    return 0;
}

void CPictureEx::Fill(const RECT& rc) const {
    if (HBRUSH hBrush = CreateSolidBrush(m_crFill)) {
        ::FillRect(m_hSurfaceDC, &rc, hBrush);
        DeleteObject(hBrush);
    }
}

void CPictureEx::TakeSaveArea(const AnimFrame& f) {
    m_hSaveDC = CreateCompatibleDC(m_hSurfaceDC);
    m_hSaveBmp = CreateCompatibleBitmap(m_hSurfaceDC, f.width, f.height);
    if (!m_hSaveDC || !m_hSaveBmp) {
        ReleaseSaveArea();
        return;
    }
    m_hSaveOldBmp = SelectObject(m_hSaveDC, m_hSaveBmp);
    BitBlt(m_hSaveDC, 0, 0, f.width, f.height, m_hSurfaceDC, f.left, f.top, SRCCOPY);
}

void CPictureEx::RestoreSaveArea(const AnimFrame& f) {
    if (!m_hSaveDC)
        return;
    BitBlt(m_hSurfaceDC, f.left, f.top, f.width, f.height, m_hSaveDC, 0, 0, SRCCOPY);
    ReleaseSaveArea();
}

void CPictureEx::ReleaseSaveArea() {
    if (m_hSaveDC && m_hSaveOldBmp)
        SelectObject(m_hSaveDC, m_hSaveOldBmp);
    if (m_hSaveDC)
        DeleteDC(m_hSaveDC);
    if (m_hSaveBmp)
        DeleteObject(m_hSaveBmp);
    m_hSaveDC = nullptr;
    m_hSaveBmp = nullptr;
    m_hSaveOldBmp = nullptr;
}

void CPictureEx::PlayFrames() {
    auto rectOf = [](const AnimFrame& f) {
        return RECT{f.left, f.top, f.left + f.width, f.top + f.height};
    };
    auto dispose = [&](const AnimFrame& f) {
        if (f.disposal == 2)
            Fill(rectOf(f));
        else if (f.disposal == 3)
            RestoreSaveArea(f);
    };

    // A stop left the last frame's disposal pending.
    dispose(m_frames[m_iFrame]);
    while (!m_bQuit) {
        const AnimFrame& f = m_frames[m_iFrame];
        if (f.picture) {
            if (f.disposal == 3)
                TakeSaveArea(f);
            HRESULT hr;
            RenderPicture(f.picture, m_hSurfaceDC, f.left, f.top, f.width, f.height, hr);
            if (HWND hWnd = m_hWndPlay; hr == S_OK && hWnd)
                InvalidateRect(hWnd, nullptr, FALSE);
            if (m_bQuit)
                break;
            const DWORD ms = FrameWaitMs(f.delay);
            if (const auto wait = Seams().frameWait)
                wait(m_hQuitEvent, ms);
            else
                WaitForSingleObject(m_hQuitEvent, ms);
            if (m_bQuit)
                break;
            dispose(f);
        }
        if (++m_iFrame == m_frames.size()) {
            m_iFrame = 0;
            Fill(RECT{0, 0, m_sizePicture.cx, m_sizePicture.cy});
        }
    }
}

void CPictureEx::StopAnimation() {
    m_bQuit = true;
    if (m_hQuitEvent)
        SetEvent(m_hQuitEvent);
    if (m_hWorker) {
        if (!WaitForWorker(kStopWaitMs))
            return; // still running: it keeps the quit request and all it uses
        CloseHandle(m_hWorker);
        m_hWorker = nullptr;
    }
    if (m_hQuitEvent)
        ResetEvent(m_hQuitEvent);
    m_bQuit = false;
}

// The window's thread waits for the worker answering only what other threads
// send it, so the worker (or the system on its behalf) never waits on us.
bool CPictureEx::WaitForWorker(DWORD ms) const {
    const ULONGLONG until = GetTickCount64() + ms;
    for (;;) {
        const ULONGLONG now = GetTickCount64();
        const DWORD left = ms == INFINITE ? INFINITE : now >= until ? 0 : DWORD(until - now);
        const DWORD r = MsgWaitForMultipleObjects(1, &m_hWorker, FALSE, left, QS_SENDMESSAGE);
        if (r == WAIT_OBJECT_0)
            return true;
        if (r != WAIT_OBJECT_0 + 1)
            return false;
        MSG msg;
        PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}

// Nothing the worker uses may go while it runs, however long it takes.
void CPictureEx::WaitForStuckWorker() {
    if (!m_hWorker)
        return;
    WaitForWorker(INFINITE);
    CloseHandle(m_hWorker);
    m_hWorker = nullptr;
    if (m_hQuitEvent)
        ResetEvent(m_hQuitEvent);
    m_bQuit = false;
}

void CPictureEx::FreePicture() {
    StopAnimation();
    WaitForStuckWorker();
    m_hWndPlay = nullptr;
    if (m_pStill) {
        m_pStill->Release();
        m_pStill = nullptr;
    }
    for (AnimFrame& f : m_frames)
        if (f.picture)
            f.picture->Release();
    m_frames.clear();
    if (m_hSurfaceDC) {
        SelectObject(m_hSurfaceDC, m_hSurfaceOldBmp);
        DeleteDC(m_hSurfaceDC);
        DeleteObject(m_hSurfaceBmp);
        m_hSurfaceDC = nullptr;
        m_hSurfaceBmp = nullptr;
        m_hSurfaceOldBmp = nullptr;
    }
    ReleaseSaveArea();
    End();
    m_bSurfaceReady = FALSE;
    m_bGif = FALSE;
    m_crFill = RGB(255, 255, 255);
    m_cbColorTable = 0;
    m_iFrame = 0;
}

void CPictureEx::OnPaint() {
    PAINTSTRUCT ps;
    HDC hdc = BeginPaint(m_hWnd, &ps);
    if (m_hSurfaceDC)
        BitBlt(hdc, 0, 0, m_sizePicture.cx, m_sizePicture.cy, m_hSurfaceDC, 0, 0, SRCCOPY);
    EndPaint(m_hWnd, &ps);
}

void CPictureEx::OnDestroy() {
    StopAnimation();
    // A worker still running past the stop's limit invalidates nothing more.
    m_hWndPlay = nullptr;
    Default();
}
