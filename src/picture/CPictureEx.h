// A static control that shows a still picture, or plays an animated GIF on a
// worker thread of its own. Everything is composed off screen in a surface
// that the paint handler copies to the window.
#pragma once

#include "framework/Controls.h"
#include "picture/GifWalk.h"

#include <ocidl.h>
#include <olectl.h>

#include <atomic>
#include <vector>

// Where the control reaches the system for a frame's stream, a picture and the
// wait between frames. Tests put doubles here; null members mean the system's.
struct PictureSeams {
    using CreateStream = HRESULT(WINAPI*)(HGLOBAL, BOOL deleteOnRelease, LPSTREAM*);
    using LoadPicture = HRESULT(WINAPI*)(LPSTREAM, LONG cb, BOOL runMode, REFIID, LPVOID*);
    using FrameWait = DWORD (*)(HANDLE hQuit, DWORD ms);
    CreateStream createStream = nullptr;
    LoadPicture loadPicture = nullptr;
    FrameWait frameWait = nullptr;
};

struct AnimFrame {
    IPicture* picture; // one reference owned
    int width;
    int height;
    int left;
    int top;
    DWORD delay; // hundredths of a second; 0xFFFFFFFF without graphic control extension
    int disposal;
};

class CPictureEx : public CStatic, private CGifWalk {
public:
    CPictureEx();
    ~CPictureEx() override;

    // The program's notice: resource type "GIF", id 128.
    BOOL LoadFromResource();
    // hData stays the caller's; it is locked only during the call.
    BOOL LoadFromMemory(HGLOBAL hData, DWORD cbData);
    BOOL ShowPicture();
    void StopAnimation();
    void FreePicture();

    // The control paints itself, so it subclasses its template window.
    void BindControl(HWND hWnd) override { SubclassWindow(hWnd); }

    SIZE PictureSize() const { return m_sizePicture; }
    size_t FrameCount() const { return m_frames.size(); }
    bool IsPlaying() const { return m_hWorker != nullptr; }
    HDC SurfaceDC() const { return m_hSurfaceDC; }

    static PictureSeams& Seams();

protected:
    void OnPaint();
    void OnDestroy();

    DECLARE_MESSAGE_MAP()

private:
    BOOL PrepareSurface(int width, int height);
    HGLOBAL BuildFrameStream(DWORD& cbStream, DWORD& delay, SIZE& size, POINT& pos, int& disposal);
    BOOL LoadStill(HGLOBAL hData, DWORD cbData);
    static DWORD WINAPI AnimationThreadProc(LPVOID pControl);
    void PlayFrames();
    void Fill(const RECT& rc) const;
    void TakeSaveArea(const AnimFrame& frame);
    void RestoreSaveArea(const AnimFrame& frame);
    void ReleaseSaveArea();
    void WaitForStuckWorker();
    bool WaitForWorker(DWORD ms) const;

    SIZE m_sizePicture{0, 0};
    COLORREF m_crFill = RGB(255, 255, 255);
    UINT m_iFrame = 0;
    BOOL m_bGif = FALSE;
    std::atomic<bool> m_bQuit{false};
    BOOL m_bSurfaceReady = FALSE;
    HDC m_hSurfaceDC = nullptr;
    HDC m_hSaveDC = nullptr;
    HBITMAP m_hSaveBmp = nullptr;
    HGDIOBJ m_hSaveOldBmp = nullptr;
    HBITMAP m_hSurfaceBmp = nullptr;
    HGDIOBJ m_hSurfaceOldBmp = nullptr;
    HANDLE m_hWorker = nullptr;
    // The window the worker invalidates: taken before it starts, cleared when
    // the window goes while a late worker still runs.
    std::atomic<HWND> m_hWndPlay{nullptr};
    HANDLE m_hQuitEvent = nullptr;
    IPicture* m_pStill = nullptr;
    std::vector<AnimFrame> m_frames;
};
