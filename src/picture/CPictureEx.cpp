// The control's life, showing its picture and playing an animation on the
// worker. Loading is in CPictureExLoad.cpp.
#include "picture/CPictureEx.h"

#include "picture/PictureDraw.h"

namespace {

constexpr DWORD kStopWaitMs = 5000;
constexpr DWORD kShortDelayMs = 100; // delays 0 to 4, and frames without a delay

// A frame's wait: delay x 10 ms, except that delays under 5 hundredths, and a
// frame without graphic control extension, wait 100 ms.
DWORD FrameWaitMs(DWORD delay) {
    return delay >= 5 && delay <= 0xFFFF ? delay * 10 : kShortDelayMs;
}

RECT RectOf(const AnimFrame& f) {
    return RECT{f.left, f.top, f.left + f.width, f.top + f.height};
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
