// Fuzz target for the GIF block walk. Runs the load sequence of the picture
// control on the input (signature, header, count, rewind, build every frame
// stream) and checks what must hold for any input: counting and building
// agree, every unit lies inside the data and after the previous one, and each
// frame stream is a one-unit GIF that walks to the same unit.
#include "picture/GifWalk.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

void Check(bool ok, const char* what) {
    if (!ok) {
        fprintf(stderr, "gif walk invariant broken: %s\n", what);
        abort();
    }
}

void CheckStreamWalksToSameUnit(const std::vector<uint8_t>& stream, const GifFrameUnit& unit,
                                uint32_t cbHead) {
    CGifWalk inner;
    inner.Begin(stream.data(), uint32_t(stream.size()));
    int32_t width, height;
    Check(CGifWalk::HasGifSignature(stream.data(), uint32_t(stream.size())), "stream signature");
    Check(inner.ReadHeader(width, height), "stream header");
    Check(inner.CountFrameUnits() == 1, "stream holds one unit");
    inner.Rewind();
    GifFrameUnit again;
    Check(inner.NextFrameUnit(again), "stream unit builds");
    Check(again.start == cbHead && again.size == unit.size, "stream unit bounds");
    Check(again.delay == unit.delay && again.disposal == unit.disposal, "stream unit timing");
    Check(again.left == unit.left && again.top == unit.top && again.width == unit.width &&
              again.height == unit.height,
          "stream unit placement");
    inner.End();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 0xFFFFFFFFu)
        return 0;
    const uint32_t cb = uint32_t(size);
    if (!CGifWalk::HasGifSignature(data, cb))
        return 0;

    CGifWalk walk;
    walk.Begin(data, cb);
    int32_t width, height;
    const bool header = walk.ReadHeader(width, height);
    const uint32_t count = walk.CountFrameUnits();
    const uint32_t ofsCountStopped = walk.m_ofsParse;
    Check(header || count == 0, "units found without a complete header");

    walk.Rewind();
    const uint32_t cbHead = CGifWalk::kHeaderSize + walk.m_cbColorTable;
    uint32_t built = 0;
    uint32_t ofsPrevEnd = cbHead;
    GifFrameUnit unit;
    while (walk.NextFrameUnit(unit)) {
        ++built;
        Check(unit.start >= ofsPrevEnd, "unit overlaps the previous one");
        Check(unit.size > 0 && unit.size <= cb - unit.start, "unit outside the data");
        Check(walk.m_ofsParse == unit.start + unit.size, "parse offset after unit");
        Check(unit.disposal >= 0 && unit.disposal <= 7, "disposal range");
        Check(unit.delay == 0xFFFFFFFF ? unit.disposal == 0 : unit.delay <= 0xFFFF, "delay");
        Check(unit.left >= 0 && unit.left <= 0xFFFF && unit.width >= 0 && unit.width <= 0xFFFF,
              "placement range");

        std::vector<uint8_t> stream(walk.FrameStreamLength(unit));
        Check(stream.size() == cbHead + size_t(unit.size) + 1, "stream length");
        walk.CopyFrameStream(unit, stream.data());
        Check(memcmp(stream.data(), data, cbHead) == 0, "stream header bytes");
        Check(memcmp(stream.data() + cbHead, data + unit.start, unit.size) == 0,
              "stream unit bytes");
        Check(stream.back() == 0x3B, "stream trailer");
        CheckStreamWalksToSameUnit(stream, unit, cbHead);
        ofsPrevEnd = unit.start + unit.size;
    }
    Check(built == count, "counting and building disagree");
    Check(walk.m_ofsParse == ofsCountStopped, "counting and building stop apart");
    walk.End();
    return 0;
}
