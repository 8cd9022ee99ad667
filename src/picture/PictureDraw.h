// An OLE picture's own size, and the whole picture drawn into a rectangle.
#pragma once

#include <ocidl.h>
#include <olectl.h>

// A picture's own size in hundredths of a millimetre.
inline SIZE HimetricSize(IPicture* picture) {
    OLE_XSIZE_HIMETRIC width = 0;
    OLE_YSIZE_HIMETRIC height = 0;
    picture->get_Width(&width);
    picture->get_Height(&height);
    return SIZE{width, height};
}

// The whole picture, scaled into the rectangle. HIMETRIC's y axis points up,
// so the source starts at the picture's height and runs back to 0.
inline HRESULT RenderPicture(IPicture* picture, HDC hdc, int x, int y, int cx, int cy) {
    const SIZE hm = HimetricSize(picture);
    return picture->Render(hdc, x, y, cx, cy, 0, hm.cy, hm.cx, -hm.cy, nullptr);
}
