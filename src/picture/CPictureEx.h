// A static control that shows a still picture, or plays an animated GIF on a
// worker thread of its own. Everything is composed off screen in a surface
// that the paint handler copies to the window.
#pragma once

#include "framework/Controls.h"
#include "picture/AnimationWorker.h"
#include "picture/GifWalk.h"
#include "picture/MemoryDC.h"

#include <ocidl.h>
#include <olectl.h>

#include <atomic>
#include <optional>
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

// What becomes of a frame once its time is over. The GIF's values 4 to 7
// have no meaning of their own and, like None and Keep, leave it standing.
enum class Disposal : int32_t { None = 0, Keep = 1, Background = 2, Previous = 3 };

struct AnimFrame {
    IPicture* picture; // one reference owned
    int width;
    int height;
    int left;
    int top;
    DWORD delay; // hundredths of a second; 0xFFFFFFFF without graphic control extension
    Disposal disposal;
};

class CPictureEx : public CStatic, private CGifWalk {
public:
    CPictureEx();
    ~CPictureEx() override;

    // The program's notice: resource type "GIF", id 128.
    BOOL LoadFromResource();
    // hData stays the caller's; it is locked only during the call. A load
    // draws nothing yet.
    BOOL LoadFromMemory(HGLOBAL hData, DWORD cbData);
    // TRUE only for a still picture drawn: an animation starts playing and
    // gives FALSE. With the system's animations off an animation shows its
    // first frame, still, and gives TRUE.
    BOOL ShowPicture();
    void StopAnimation();
    void FreePicture();

    // The control paints itself, so it subclasses its template window.
    void BindControl(HWND hWnd) override { SubclassWindow(hWnd); }

    SIZE PictureSize() const { return m_sizePicture; }
    size_t FrameCount() const { return m_frames.size(); }
    bool IsPlaying() const { return m_worker.Running(); }
    HDC SurfaceDC() const { return m_surface.Get(); }

    static PictureSeams& Seams();

protected:
    void OnPaint();
    void OnDestroy();

    DECLARE_MESSAGE_MAP()

private:
    // One frame's one-frame GIF in a fixed block of its own, and where the
    // frame lies.
    struct FrameStream {
        HGLOBAL block;
        DWORD cb;
        GifFrameUnit unit;
    };
    // How far the walk over the locked data got.
    enum class Decoded { Refused, NotGif, StillGif, Frames };

    Decoded Decode(HGLOBAL hData, DWORD cbData);
    BOOL PrepareSurface(int width, int height);
    std::optional<FrameStream> BuildFrameStream();
    BOOL LoadStill(HGLOBAL hData, DWORD cbData);
    BOOL ShowFirstFrame();
    static DWORD WINAPI AnimationThreadProc(LPVOID pControl);
    void PlayFrames();
    void Dispose(const AnimFrame& frame);
    void Fill(const RECT& rc) const;
    void TakeSaveArea(const AnimFrame& frame);
    void RestoreSaveArea(const AnimFrame& frame);

    SIZE m_sizePicture{0, 0};
    COLORREF m_crFill = RGB(255, 255, 255);
    UINT m_iFrame = 0;
    BOOL m_bGif = FALSE;
    MemoryDC m_surface; // exists once the surface is prepared
    MemoryDC m_save;    // only while a restore-to-previous frame is on
    AnimationWorker m_worker;
    // The window the worker invalidates: taken before it starts, cleared when
    // the window goes while a late worker still runs.
    std::atomic<HWND> m_hWndPlay{nullptr};
    IPicture* m_pStill = nullptr;
    std::vector<AnimFrame> m_frames;
};
