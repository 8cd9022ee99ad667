// Small GIFs that the system's picture loader really decodes: four colours,
// and LZW codes that never outgrow three bits (a clear code every two pixels).
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

struct TestFrame {
    int left, top, width, height;
    uint8_t colour; // palette index 0 to 3, for every pixel
    int disposal;
    uint16_t delay;
    bool withControl = true; // a graphic control extension before the image
    bool broken = false;     // image data the loader rejects
};

// Palette: 0 red, 1 blue, 2 green, 3 black.
inline constexpr COLORREF kTestColours[4] = {RGB(255, 0, 0), RGB(0, 0, 255), RGB(0, 255, 0),
                                             RGB(0, 0, 0)};

std::vector<uint8_t> MakeGif(int width, int height, const std::vector<TestFrame>& frames);

// An image's data sub-blocks, terminator included, for a minimum code size
// of 2: every pixel the given palette index.
std::vector<uint8_t> ImageSubBlocks(int pixels, uint8_t colour);

// A global movable block holding the bytes, as the control expects them.
HGLOBAL ToGlobal(const std::vector<uint8_t>& bytes);
