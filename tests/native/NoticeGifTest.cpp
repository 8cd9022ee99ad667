// The notice picture the program ships (res/notice.gif), walked as the picture
// control walks it.
#include "GifWalkTestUtil.h"

#include <cstring>
#include <fstream>
#include <iterator>

namespace {

std::vector<uint8_t> ReadFile(const char* path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

} // namespace

TEST(NoticeGif, TwoBlinkingFramesWithLoopingInTheFirst) {
    const std::vector<uint8_t> gif = ReadFile(MORVANE_NOTICE_GIF);
    ASSERT_GT(gif.size(), 397u) << "cannot read " << MORVANE_NOTICE_GIF;
    EXPECT_EQ(memcmp(gif.data(), "GIF89a", 6), 0);

    const WalkResult r = WalkGif(gif);
    ExpectNoticeLayout(r);
    ASSERT_EQ(r.units.size(), 2u);

    EXPECT_EQ(r.units[0].start, 397u);
    EXPECT_EQ(r.units[1].start, r.units[0].start + r.units[0].size);
    // Nothing but the trailer after the second unit.
    EXPECT_EQ(r.units[1].start + r.units[1].size + 1, gif.size());
    EXPECT_EQ(gif.back(), 0x3B);

    const int32_t disposals[] = {1, 2};
    for (size_t i = 0; i < 2; ++i) {
        const GifFrameUnit& u = r.units[i];
        EXPECT_EQ(u.delay, 50u);
        EXPECT_EQ(u.disposal, disposals[i]);
        EXPECT_EQ(u.left, 0);
        EXPECT_EQ(u.top, 0);
        EXPECT_EQ(u.width, 115);
        EXPECT_EQ(u.height, 185);
        const std::vector<uint8_t>& s = r.streams[i];
        EXPECT_EQ(s.size(), 13 + 384 + u.size + 1);
        // Each unit opens with its graphic control extension: transparency
        // on, index 69.
        EXPECT_EQ(s[397], 0x21);
        EXPECT_EQ(s[398], 0xF9);
        EXPECT_EQ(s[400] & 1, 1);
        EXPECT_EQ(s[403], 69);
        ExpectSelfContained(s, u);
    }
    // The looping extension lies inside unit 1, right after its GCE, and so
    // travels with frame 1 only.
    const std::string loop("\x21\xFF\x0BNETSCAPE2.0\x03\x01\x00\x00\x00", 19); // loop count 0
    EXPECT_EQ(memcmp(&r.streams[0][397 + 8], loop.data(), loop.size()), 0);
    EXPECT_FALSE(Contains(r.streams[1], "NETSCAPE2.0"));
}

TEST(NoticeGif, EveryPrefixWalksInsideItsData) {
    const std::vector<uint8_t> gif = ReadFile(MORVANE_NOTICE_GIF);
    ASSERT_FALSE(gif.empty());
    const WalkResult whole = WalkGif(gif);
    ASSERT_EQ(whole.units.size(), 2u);
    const uint32_t end1 = whole.units[0].start + whole.units[0].size;
    const uint32_t end2 = whole.units[1].start + whole.units[1].size;
    for (uint32_t len = 0; len <= gif.size(); ++len) {
        const WalkResult r = WalkGif(std::vector<uint8_t>(gif.begin(), gif.begin() + len));
        const uint32_t expected = (len >= end1) + (len >= end2);
        ASSERT_EQ(r.count, expected) << len;
        ASSERT_EQ(r.units.size(), expected) << len;
    }
}
