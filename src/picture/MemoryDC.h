// A memory device context with a bitmap of its own selected into it: the
// drawing surface and the save area of a restore-to-previous frame.
#pragma once

#include <windows.h>

class MemoryDC {
public:
    MemoryDC() = default;
    MemoryDC(const MemoryDC&) = delete;
    MemoryDC& operator=(const MemoryDC&) = delete;
    ~MemoryDC() { Reset(); }

    // Both the context and its bitmap are made like hdcLike, so a colour DC
    // gives a colour bitmap. Holds nothing when either cannot be made.
    bool Create(HDC hdcLike, int width, int height) {
        Reset();
        m_hDC = CreateCompatibleDC(hdcLike);
        if (!m_hDC)
            return false;
        m_hBmp = CreateCompatibleBitmap(hdcLike, width, height);
        if (!m_hBmp) {
            Reset();
            return false;
        }
        m_hOldBmp = SelectObject(m_hDC, m_hBmp);
        return true;
    }

    // The bitmap that was selected first goes back in before the context and
    // the bitmap are deleted.
    void Reset() {
        if (m_hDC) {
            if (m_hOldBmp)
                SelectObject(m_hDC, m_hOldBmp);
            DeleteDC(m_hDC);
        }
        if (m_hBmp)
            DeleteObject(m_hBmp);
        m_hDC = nullptr;
        m_hBmp = nullptr;
        m_hOldBmp = nullptr;
    }

    HDC Get() const { return m_hDC; }
    explicit operator bool() const { return m_hDC != nullptr; }

private:
    HDC m_hDC = nullptr;
    HBITMAP m_hBmp = nullptr;
    HGDIOBJ m_hOldBmp = nullptr;
};
