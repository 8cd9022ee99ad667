#include "support/TestGif.h"

#include <algorithm>
#include <cstring>

namespace {

void Put16(std::vector<uint8_t>& out, int v) {
    out.push_back(uint8_t(v & 0xFF));
    out.push_back(uint8_t(v >> 8));
}

// Three-bit codes, least significant bit first.
std::vector<uint8_t> Encode(int pixels, uint8_t colour) {
    std::vector<uint8_t> bits;
    uint32_t acc = 0;
    int n = 0;
    auto emit = [&](uint32_t code) {
        acc |= code << n;
        n += 3;
        while (n >= 8) {
            bits.push_back(uint8_t(acc));
            acc >>= 8;
            n -= 8;
        }
    };
    for (int i = 0; i < pixels; ++i) {
        if (i % 2 == 0)
            emit(4); // clear
        emit(colour);
    }
    emit(5); // end
    if (n > 0)
        bits.push_back(uint8_t(acc));
    return bits;
}

} // namespace

std::vector<uint8_t> MakeGif(int width, int height, const std::vector<TestFrame>& frames) {
    std::vector<uint8_t> out = {'G', 'I', 'F', '8', '9', 'a'};
    Put16(out, width);
    Put16(out, height);
    out.insert(out.end(), {0xF1, 0, 0}); // global table of 4 entries
    for (COLORREF c : kTestColours)
        out.insert(out.end(), {GetRValue(c), GetGValue(c), GetBValue(c)});
    for (const TestFrame& f : frames) {
        if (f.withControl) {
            out.insert(out.end(), {0x21, 0xF9, 4, uint8_t((f.disposal & 7) << 2)});
            Put16(out, f.delay);
            out.insert(out.end(), {0, 0});
        }
        out.push_back(0x2C);
        Put16(out, f.left);
        Put16(out, f.top);
        Put16(out, f.width);
        Put16(out, f.height);
        out.push_back(0);
        out.push_back(f.broken ? 15 : 2); // no loader accepts a code size of 15
        const std::vector<uint8_t> blocks = ImageSubBlocks(f.width * f.height, f.colour);
        out.insert(out.end(), blocks.begin(), blocks.end());
    }
    out.push_back(0x3B);
    return out;
}

std::vector<uint8_t> ImageSubBlocks(int pixels, uint8_t colour) {
    const std::vector<uint8_t> data = Encode(pixels, colour);
    std::vector<uint8_t> out;
    for (size_t at = 0; at < data.size(); at += 255) {
        const size_t n = std::min<size_t>(255, data.size() - at);
        out.push_back(uint8_t(n));
        out.insert(out.end(), data.begin() + at, data.begin() + at + n);
    }
    out.push_back(0);
    return out;
}

HGLOBAL ToGlobal(const std::vector<uint8_t>& bytes) {
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
    memcpy(GlobalLock(h), bytes.data(), bytes.size());
    GlobalUnlock(h);
    return h;
}
