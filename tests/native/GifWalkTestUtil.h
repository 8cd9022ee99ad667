// Shared helpers for the GIF walk tests: run the whole walk the way the
// picture control does and collect what it found.
#pragma once

#include "GifBuilder.h"
#include "picture/GifWalk.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

struct WalkResult {
    bool signature = false;
    bool header = false;
    int32_t width = -1;
    int32_t height = -1;
    uint32_t colorTable = 0;
    uint32_t count = 0;
    std::vector<GifFrameUnit> units;
    std::vector<std::vector<uint8_t>> streams;
};

// Header, count, rewind, then build every frame stream into an exactly sized
// buffer. Walks whatever the signature says, so faults past it are reached.
inline WalkResult WalkGif(const uint8_t* p, uint32_t cb) {
    WalkResult r;
    CGifWalk walk;
    r.signature = CGifWalk::HasGifSignature(p, cb);
    walk.Begin(p, cb);
    r.header = walk.ReadHeader(r.width, r.height);
    r.colorTable = walk.m_cbColorTable;
    r.count = walk.CountFrameUnits();
    walk.Rewind();
    GifFrameUnit unit;
    while (walk.NextFrameUnit(unit)) {
        std::vector<uint8_t> stream(walk.FrameStreamLength(unit));
        walk.CopyFrameStream(unit, stream.data());
        r.units.push_back(unit);
        r.streams.push_back(std::move(stream));
    }
    walk.End();
    return r;
}

inline WalkResult WalkGif(const std::vector<uint8_t>& bytes) {
    const ExactBuffer buffer(bytes);
    return WalkGif(buffer.data(), buffer.size());
}

// The one-frame GIF expected for the unit at [start, end) of gif.
inline std::vector<uint8_t> ExpectedStream(const std::vector<uint8_t>& gif, uint32_t colorTable,
                                           uint32_t start, uint32_t end) {
    std::vector<uint8_t> s(gif.begin(), gif.begin() + 13 + colorTable);
    s.insert(s.end(), gif.begin() + start, gif.begin() + end);
    s.push_back(0x3B);
    return s;
}

inline bool Contains(const std::vector<uint8_t>& haystack, const std::string& needle) {
    return std::search(haystack.begin(), haystack.end(), needle.begin(), needle.end()) !=
           haystack.end();
}

// A frame stream is a GIF in its own right: one unit, the same as the source's.
inline void ExpectSelfContained(const std::vector<uint8_t>& stream, const GifFrameUnit& unit) {
    const WalkResult r = WalkGif(stream);
    EXPECT_TRUE(r.signature);
    EXPECT_TRUE(r.header);
    ASSERT_EQ(r.count, 1u);
    ASSERT_EQ(r.units.size(), 1u);
    const GifFrameUnit& u = r.units[0];
    EXPECT_EQ(u.start, 13 + r.colorTable);
    EXPECT_EQ(u.size, unit.size);
    EXPECT_EQ(u.delay, unit.delay);
    EXPECT_EQ(u.disposal, unit.disposal);
    EXPECT_EQ(u.left, unit.left);
    EXPECT_EQ(u.top, unit.top);
    EXPECT_EQ(u.width, unit.width);
    EXPECT_EQ(u.height, unit.height);
    EXPECT_EQ(r.streams[0], stream);
}

// What the walk finds in a GIF laid out like the program's notice: a
// 115 x 185 screen, a 128-entry global colour table and two frame units.
inline void ExpectNoticeLayout(const WalkResult& r) {
    EXPECT_TRUE(r.signature);
    EXPECT_TRUE(r.header);
    EXPECT_EQ(r.width, 115);
    EXPECT_EQ(r.height, 185);
    EXPECT_EQ(r.colorTable, 384u);
    EXPECT_EQ(r.count, 2u);
}
