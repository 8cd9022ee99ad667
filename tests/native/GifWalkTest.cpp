#include "GifWalkTestUtil.h"

#include <cstring>

namespace {

constexpr uint32_t kNoDelay = 0xFFFFFFFF;

// Puts the walk on one block of a built GIF.
CGifWalk WalkAt(const ExactBuffer& buffer, uint32_t ofs) {
    CGifWalk walk;
    walk.Begin(buffer.data(), buffer.size());
    walk.m_ofsParse = ofs;
    return walk;
}

} // namespace

// --- Recognition ----------------------------------------------------------

TEST(GifSignature, AcceptsBothPublishedVersions) {
    for (const char* sig : {"GIF87a", "GIF89a"}) {
        const ExactBuffer b(reinterpret_cast<const uint8_t*>(sig), 6);
        EXPECT_TRUE(CGifWalk::HasGifSignature(b.data(), b.size())) << sig;
    }
}

TEST(GifSignature, RejectsOtherVersionsAndCase) {
    for (const char* sig : {"GIF88a", "GIF89b", "GIF90a", "gif89a", "GIF8 a", "BM6\0\0\0"}) {
        GifBuilder g;
        g.Header(4, 4, 0, sig);
        g.Image(0, 0, 4, 4);
        g.Trailer();
        const WalkResult r = WalkGif(g.bytes);
        EXPECT_FALSE(r.signature) << sig;
    }
}

TEST(GifSignature, ShortDataIsNotReadPastItsEnd) {
    const uint8_t full[] = {'G', 'I', 'F', '8', '9', 'a'};
    for (uint32_t n = 0; n < 6; ++n) {
        const ExactBuffer b(full, n);
        EXPECT_FALSE(CGifWalk::HasGifSignature(b.data(), b.size())) << n;
    }
    EXPECT_FALSE(CGifWalk::HasGifSignature(nullptr, 6));
}

// --- Header ---------------------------------------------------------------

TEST(GifHeader, ReadsLogicalScreenAndGlobalColourTable) {
    GifBuilder g;
    g.Header(300, 0x1234, 128);
    const ExactBuffer b(g.bytes);
    CGifWalk walk;
    walk.Begin(b.data(), b.size());
    int32_t w = 0, h = 0;
    EXPECT_TRUE(walk.ReadHeader(w, h));
    EXPECT_EQ(w, 300);
    EXPECT_EQ(h, 0x1234);
    EXPECT_EQ(walk.m_cbColorTable, 384u);
    EXPECT_EQ(walk.m_ofsParse, 397u);
    walk.m_ofsParse = 1000;
    walk.Rewind();
    EXPECT_EQ(walk.m_ofsParse, 397u);
}

TEST(GifHeader, EveryTableSizeBitCountsAndAbsentTableIsEmpty) {
    for (unsigned bits = 0; bits < 8; ++bits) {
        GifBuilder g;
        g.Header(1, 1, 2u << bits);
        const ExactBuffer b(g.bytes);
        CGifWalk walk;
        walk.Begin(b.data(), b.size());
        int32_t w, h;
        EXPECT_TRUE(walk.ReadHeader(w, h));
        EXPECT_EQ(walk.m_cbColorTable, 3u * (2u << bits));
    }
    GifBuilder g;
    g.Header(1, 1, 0);
    g.bytes[10] = 0x7F; // size bits set, table flag clear
    const ExactBuffer b(g.bytes);
    CGifWalk walk;
    walk.Begin(b.data(), b.size());
    int32_t w, h;
    EXPECT_TRUE(walk.ReadHeader(w, h));
    EXPECT_EQ(walk.m_cbColorTable, 0u);
    EXPECT_EQ(walk.m_ofsParse, 13u);
}

TEST(GifHeader, TooShortForScreenDescriptorFindsNothing) {
    GifBuilder g;
    g.Header(20, 30, 0);
    for (uint32_t n = 0; n < 13; ++n) {
        const WalkResult r = WalkGif(std::vector<uint8_t>(g.bytes.begin(), g.bytes.begin() + n));
        EXPECT_FALSE(r.header) << n;
        EXPECT_EQ(r.width, 0);
        EXPECT_EQ(r.height, 0);
        EXPECT_EQ(r.count, 0u);
        EXPECT_TRUE(r.units.empty());
    }
}

TEST(GifHeader, ColourTableRunningPastTheEndFindsNothing) {
    GifBuilder g;
    g.Header(20, 30, 256);
    g.Image(0, 0, 20, 30);
    g.Trailer();
    // Cut inside the table: the size is known, the frames are not.
    const WalkResult r = WalkGif(std::vector<uint8_t>(g.bytes.begin(), g.bytes.begin() + 500));
    EXPECT_FALSE(r.header);
    EXPECT_EQ(r.width, 20);
    EXPECT_EQ(r.height, 30);
    EXPECT_EQ(r.count, 0u);
    EXPECT_TRUE(r.units.empty());

    // A table that ends exactly at the end of the data fits.
    const WalkResult exact = WalkGif(std::vector<uint8_t>(g.bytes.begin(), g.bytes.begin() + 781));
    EXPECT_TRUE(exact.header);
    EXPECT_EQ(exact.count, 0u);
}

// --- Single blocks --------------------------------------------------------

TEST(GifBlock, EachKindIsClassifiedAndMeasured) {
    GifBuilder g;
    g.Header(8, 8, 0);
    const uint32_t app = g.Application("ABCDEFGHabc", std::vector<uint8_t>(300, 7));
    const uint32_t comment = g.Comment("hello");
    const uint32_t gce = g.GraphicControl(1, 2);
    const uint32_t text = g.PlainText("TXT");
    const uint32_t image = g.Image(0, 0, 8, 8, 0, 600);
    const uint32_t trailer = g.Trailer();
    const ExactBuffer b(g.bytes);
    struct {
        uint32_t ofs, next;
        GifBlockKind kind;
    } blocks[] = {{app, comment, gbkApplicationExt}, {comment, gce, gbkCommentExt},
                  {gce, text, gbkGraphicControlExt}, {text, image, gbkPlainTextExt},
                  {image, trailer, gbkImage},        {trailer, trailer + 1, gbkTrailer}};
    for (const auto& blk : blocks) {
        CGifWalk walk = WalkAt(b, blk.ofs);
        EXPECT_EQ(walk.BlockKindAt(), blk.kind) << blk.ofs;
        EXPECT_EQ(walk.BlockLength(), int64_t(blk.next - blk.ofs)) << blk.ofs;
        EXPECT_TRUE(walk.SkipBlock());
        EXPECT_EQ(walk.m_ofsParse, blk.next);
    }
    // The trailer ends exactly at the end of the data; nothing lies beyond.
    CGifWalk walk = WalkAt(b, trailer + 1);
    EXPECT_EQ(walk.BlockKindAt(), gbkOther);
    EXPECT_EQ(walk.BlockLength(), -1);
    EXPECT_FALSE(walk.SkipBlock());
}

TEST(GifBlock, LocalColourTableIsPartOfTheImage) {
    GifBuilder g;
    g.Header(8, 8, 2);
    const uint32_t image = g.Image(0, 0, 8, 8, 64, 10);
    const uint32_t end = g.Size();
    const ExactBuffer b(g.bytes);
    CGifWalk walk = WalkAt(b, image);
    // descriptor 10 + table 192 + code size 1 + chain (1 + 10 + 1)
    EXPECT_EQ(walk.BlockLength(), 10 + 192 + 1 + 12);
    EXPECT_EQ(walk.BlockLength(), int64_t(end - image));
}

TEST(GifBlock, UnknownBytesAndLabelsCannotBeSkipped) {
    GifBuilder g;
    g.Header(8, 8, 0);
    const uint32_t unknownLabel = g.Size();
    g.bytes.insert(g.bytes.end(), {0x21, 0x77, 3, 1, 2, 3, 0});
    const uint32_t stray = g.Size();
    g.bytes.push_back(0x00);
    const uint32_t lastIntroducer = g.Size();
    g.bytes.push_back(0x21);
    const ExactBuffer b(g.bytes);
    for (uint32_t ofs : {unknownLabel, stray, lastIntroducer}) {
        CGifWalk walk = WalkAt(b, ofs);
        EXPECT_EQ(walk.BlockKindAt(), gbkOther) << ofs;
        EXPECT_EQ(walk.BlockLength(), -1);
        EXPECT_FALSE(walk.SkipBlock());
        EXPECT_EQ(walk.m_ofsParse, ofs);
    }
}

TEST(GifBlock, SubBlockChainsAreMeasuredOnlyInsideTheData) {
    const uint8_t chain[] = {3, 'a', 'b', 'c', 2, 'd', 'e', 0};
    const ExactBuffer whole(chain, sizeof chain);
    CGifWalk walk = WalkAt(whole, 0);
    EXPECT_EQ(walk.SubBlockChainLength(0), 8u);
    EXPECT_EQ(walk.SubBlockChainLength(7), 1u); // the terminator alone
    EXPECT_EQ(walk.SubBlockChainLength(8), 0u); // first size byte at the end
    EXPECT_EQ(walk.SubBlockChainLength(0xFFFFFFFF), 0u);
    for (uint32_t n = 0; n < sizeof chain; ++n) {
        const ExactBuffer cut(chain, n);
        CGifWalk w = WalkAt(cut, 0);
        EXPECT_EQ(w.SubBlockChainLength(0), 0u) << n;
    }
}

TEST(GifBlock, BlocksCutShortAreUnmeasurableAndStay) {
    GifBuilder g;
    g.Header(8, 8, 0);
    const uint32_t image = g.Image(1, 2, 3, 4, 4, 20);
    // Every cut inside the image, including before its packed byte and
    // inside its local colour table, leaves it unmeasurable.
    for (uint32_t n = image + 1; n < g.Size(); ++n) {
        const ExactBuffer b(g.bytes.data(), n);
        CGifWalk walk = WalkAt(b, image);
        EXPECT_EQ(walk.BlockKindAt(), gbkImage);
        EXPECT_EQ(walk.BlockLength(), 0) << n;
        EXPECT_FALSE(walk.SkipBlock());
        EXPECT_EQ(walk.m_ofsParse, image);
    }
    GifBuilder e;
    e.Header(8, 8, 0);
    const uint32_t gce = e.GraphicControl(0, 0);
    for (uint32_t n = gce + 2; n < e.Size(); ++n) {
        const ExactBuffer b(e.bytes.data(), n);
        CGifWalk walk = WalkAt(b, gce);
        EXPECT_EQ(walk.BlockLength(), 8); // fixed size, known without reading it
        EXPECT_FALSE(walk.SkipBlock()) << n;
        EXPECT_EQ(walk.m_ofsParse, gce);
    }
}

// --- Frame units ----------------------------------------------------------

// Shaped like the program's notice: looping extension inside the first unit.
TEST(GifNoticeShape, TwoUnitsWithLoopingExtensionInTheFirst) {
    GifBuilder g;
    g.Header(115, 185, 128);
    const uint32_t unit1 = g.GraphicControl(1, 50, 69);
    const uint32_t loop = g.Looping(0);
    g.Image(0, 0, 115, 185, 0, 3000);
    const uint32_t unit2 = g.GraphicControl(2, 50, 69);
    g.Image(0, 0, 115, 185, 0, 3100);
    const uint32_t trailer = g.Trailer();

    const WalkResult r = WalkGif(g.bytes);
    ExpectNoticeLayout(r);
    ASSERT_EQ(r.units.size(), 2u);

    EXPECT_EQ(unit1, 397u);
    EXPECT_EQ(r.units[0].start, unit1);
    EXPECT_EQ(r.units[0].size, unit2 - unit1);
    EXPECT_EQ(r.units[1].start, unit2);
    EXPECT_EQ(r.units[1].size, trailer - unit2);
    for (const GifFrameUnit& u : r.units) {
        EXPECT_EQ(u.delay, 50u);
        EXPECT_EQ(u.left, 0);
        EXPECT_EQ(u.top, 0);
        EXPECT_EQ(u.width, 115);
        EXPECT_EQ(u.height, 185);
    }
    EXPECT_EQ(r.units[0].disposal, 1);
    EXPECT_EQ(r.units[1].disposal, 2);

    for (size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(r.streams[i].size(), 13 + 384 + r.units[i].size + 1);
        EXPECT_EQ(r.streams[i], ExpectedStream(g.bytes, 384, r.units[i].start,
                                               r.units[i].start + r.units[i].size));
        ExpectSelfContained(r.streams[i], r.units[i]);
    }
    // The looping extension travels with frame 1 only, right after its GCE.
    EXPECT_EQ(memcmp(&r.streams[0][397 + (loop - unit1) + 3], "NETSCAPE2.0", 11), 0);
    EXPECT_FALSE(Contains(r.streams[1], "NETSCAPE2.0"));
}

TEST(GifLeadingExtensions, BeforeAUnitInNoStreamAfterItsGceInIt) {
    GifBuilder g;
    g.Header(8, 8, 4);
    g.Comment("lead comment");
    g.Looping(3);
    const uint32_t unit1 = g.GraphicControl(0, 10);
    g.Image(0, 0, 8, 8);
    g.Comment("between units");
    g.Application("XMP DataXMP", {'x', 'm', 'p'});
    const uint32_t unit2 = g.GraphicControl(3, 20);
    g.Comment("inner comment");
    g.Application("INNERAPP1.0", {'i', 'n'});
    g.GraphicControl(1, 99); // a further GCE belongs to the unit too
    g.Image(0, 0, 8, 8);
    const uint32_t end2 = g.Size();
    g.Comment("after the last unit");
    g.Trailer();

    const WalkResult r = WalkGif(g.bytes);
    EXPECT_EQ(r.count, 2u);
    ASSERT_EQ(r.units.size(), 2u);
    EXPECT_EQ(r.units[0].start, unit1);
    EXPECT_EQ(r.units[1].start, unit2);
    EXPECT_EQ(r.units[1].size, end2 - unit2);
    // The first GCE of the unit gives delay and disposal.
    EXPECT_EQ(r.units[1].delay, 20u);
    EXPECT_EQ(r.units[1].disposal, 3);
    for (const char* lead :
         {"lead comment", "NETSCAPE2.0", "between units", "XMP DataXMP", "after the last unit"}) {
        EXPECT_FALSE(Contains(r.streams[0], lead)) << lead;
        EXPECT_FALSE(Contains(r.streams[1], lead)) << lead;
    }
    EXPECT_TRUE(Contains(r.streams[1], "inner comment"));
    EXPECT_TRUE(Contains(r.streams[1], "INNERAPP1.0"));
    EXPECT_EQ(r.streams[1], ExpectedStream(g.bytes, 12, unit2, end2));
    ExpectSelfContained(r.streams[1], r.units[1]);
}

TEST(GifNoGraphicControl, UnitIsItsImageWithUnsetDelay) {
    GifBuilder g;
    g.Header(40, 30, 0);
    g.Comment("skipped");
    const uint32_t image = g.Image(5, 6, 7, 8, 2, 30);
    const uint32_t unit2 = g.GraphicControl(2, 7);
    g.Image(0, 0, 40, 30);
    g.Trailer();

    const WalkResult r = WalkGif(g.bytes);
    EXPECT_EQ(r.count, 2u);
    ASSERT_EQ(r.units.size(), 2u);
    const GifFrameUnit& u = r.units[0];
    EXPECT_EQ(u.start, image);
    EXPECT_EQ(u.size, unit2 - image);
    EXPECT_EQ(u.delay, kNoDelay);
    EXPECT_EQ(u.disposal, 0);
    EXPECT_EQ(u.left, 5);
    EXPECT_EQ(u.top, 6);
    EXPECT_EQ(u.width, 7);
    EXPECT_EQ(u.height, 8);
    EXPECT_EQ(r.streams[0][13], 0x2C); // the stream begins with the image descriptor
    ExpectSelfContained(r.streams[0], u);
    EXPECT_EQ(r.units[1].delay, 7u);
    EXPECT_EQ(r.units[1].disposal, 2);
}

TEST(GifNoGraphicControl, ExtensionsAfterAnImageLeadTheNextUnit) {
    // Without a GCE the unit is the image alone; what follows it is not
    // part of it.
    GifBuilder g;
    g.Header(8, 8, 0);
    const uint32_t image = g.Image(0, 0, 8, 8);
    const uint32_t comment = g.Comment("next");
    const uint32_t image2 = g.Image(0, 0, 8, 8);
    g.Trailer();
    const WalkResult r = WalkGif(g.bytes);
    ASSERT_EQ(r.units.size(), 2u);
    EXPECT_EQ(r.units[0].size, comment - image);
    EXPECT_EQ(r.units[1].start, image2);
}

TEST(GifGceBlockSize, OtherBlockSizesStillSpanEightBytes) {
    for (uint8_t blockSize : {0, 3, 5, 6, 255}) {
        GifBuilder g;
        g.Header(8, 8, 2);
        const uint32_t unit1 = g.GraphicControl(1, 0x1234, -1, blockSize);
        const uint32_t image1 = g.Image(1, 1, 6, 6);
        const uint32_t unit2 = g.GraphicControl(7, 3, 5, blockSize);
        g.Image(0, 0, 8, 8);
        const uint32_t trailer = g.Trailer();
        ASSERT_EQ(image1 - unit1, 8u);

        const WalkResult r = WalkGif(g.bytes);
        EXPECT_EQ(r.count, 2u) << int(blockSize);
        ASSERT_EQ(r.units.size(), 2u);
        EXPECT_EQ(r.units[0].size, unit2 - unit1);
        EXPECT_EQ(r.units[0].delay, 0x1234u);
        EXPECT_EQ(r.units[0].disposal, 1);
        EXPECT_EQ(r.units[0].width, 6);
        EXPECT_EQ(r.units[1].size, trailer - unit2);
        EXPECT_EQ(r.units[1].disposal, 7);

        const ExactBuffer b(g.bytes);
        CGifWalk walk = WalkAt(b, unit1);
        EXPECT_TRUE(walk.SkipBlock());
        EXPECT_EQ(walk.m_ofsParse, image1);
    }
}

TEST(GifNoTrailer, EveryCompleteUnitCounts) {
    GifBuilder g;
    g.Header(8, 8, 2);
    g.GraphicControl(1, 10);
    g.Image(0, 0, 8, 8);
    g.GraphicControl(1, 20);
    g.Image(0, 0, 8, 8);
    const uint32_t end2 = g.Size();
    g.GraphicControl(1, 30);
    g.Image(0, 0, 8, 8, 0, 100);

    const WalkResult full = WalkGif(g.bytes); // ends right after unit 3's terminator
    EXPECT_EQ(full.count, 3u);
    ASSERT_EQ(full.units.size(), 3u);
    EXPECT_EQ(full.units[2].delay, 30u);

    // Ends inside unit 3's image data.
    const WalkResult cut = WalkGif(std::vector<uint8_t>(g.bytes.begin(), g.bytes.end() - 20));
    EXPECT_EQ(cut.count, 2u);
    ASSERT_EQ(cut.units.size(), 2u);
    EXPECT_EQ(cut.units[1].start + cut.units[1].size, end2);
}

TEST(GifNoTrailer, StrayBytesStopTheWalkLikeATrailer) {
    GifBuilder g;
    g.Header(8, 8, 0);
    g.Image(0, 0, 8, 8);
    g.GraphicControl(0, 1);
    g.Image(0, 0, 8, 8);
    g.bytes.insert(g.bytes.end(), {0x00, 0x00, 0x2C});
    g.Image(0, 0, 8, 8);
    const WalkResult r = WalkGif(g.bytes);
    EXPECT_EQ(r.count, 2u);
    EXPECT_EQ(r.units.size(), 2u);
}

TEST(GifSingleImage, CountsOne) {
    GifBuilder g;
    g.Header(100, 50, 16);
    g.GraphicControl(0, 0);
    const uint32_t image = g.Image(10, 10, 20, 20);
    g.Trailer();
    const WalkResult r = WalkGif(g.bytes);
    EXPECT_EQ(r.count, 1u);
    ASSERT_EQ(r.units.size(), 1u);
    EXPECT_EQ(r.width, 100); // the logical screen, not the image
    EXPECT_EQ(r.height, 50);
    EXPECT_EQ(r.units[0].width, 20);
    EXPECT_EQ(r.units[0].left, 10);
    EXPECT_GT(r.units[0].size, image - r.units[0].start);

    GifBuilder bare;
    bare.Header(8, 8, 0, "GIF87a");
    bare.Image(0, 0, 8, 8);
    bare.Trailer();
    EXPECT_EQ(WalkGif(bare.bytes).count, 1u);
}

TEST(GifPlainText, UnitsEndingInPlainTextHaveNoPlacement) {
    GifBuilder g;
    g.Header(64, 32, 2);
    const uint32_t unit1 = g.GraphicControl(1, 30);
    g.PlainText("HELLO");
    const uint32_t unit2 = g.GraphicControl(0, 5);
    g.Image(3, 4, 5, 6);
    const uint32_t unit3 = g.PlainText("bare");
    const uint32_t trailer = g.Trailer();

    const WalkResult r = WalkGif(g.bytes);
    EXPECT_EQ(r.count, 3u);
    ASSERT_EQ(r.units.size(), 3u);
    EXPECT_EQ(r.units[0].start, unit1);
    EXPECT_EQ(r.units[0].size, unit2 - unit1);
    EXPECT_EQ(r.units[0].delay, 30u);
    EXPECT_EQ(r.units[0].disposal, 1);
    EXPECT_EQ(r.units[1].width, 5);
    EXPECT_EQ(r.units[2].start, unit3);
    EXPECT_EQ(r.units[2].size, trailer - unit3);
    EXPECT_EQ(r.units[2].delay, kNoDelay);
    EXPECT_EQ(r.units[2].disposal, 0);
    // The text grid's position and size are not taken for an image's.
    for (size_t i : {0, 2}) {
        EXPECT_EQ(r.units[i].left, 0);
        EXPECT_EQ(r.units[i].top, 0);
        EXPECT_EQ(r.units[i].width, 0);
        EXPECT_EQ(r.units[i].height, 0);
        ExpectSelfContained(r.streams[i], r.units[i]);
    }
    EXPECT_TRUE(Contains(r.streams[0], "HELLO"));
}

TEST(GifMalformedUnit, UnitsThatCannotBeCompletedStopTheWalk) {
    const std::vector<uint8_t> gce = {0x21, 0xF9, 4, 0, 0, 0, 0, 0};
    auto after = [](std::vector<uint8_t> a, const std::vector<uint8_t>& b) {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    };
    struct Case {
        const char* name;
        std::vector<uint8_t> fault; // after one good unit
        bool atEnd;                 // the data ends with the fault
    } cases[] = {
        {"gce then trailer", after(gce, {0x3B}), false},
        {"gce then unknown label", after(gce, {0x21, 0x77, 1, 9, 0}), false},
        {"gce then stray byte", after(gce, {0x99}), false},
        {"gce then end of data", gce, true},
        {"comment without terminator", {0x21, 0xFE, 3, 'a', 'b', 'c'}, true},
        {"image chain running past the end", {0x2C, 0, 0, 0, 0, 1, 0, 1, 0, 0, 2, 200, 1, 2}, true},
        {"plain text cut in its header", {0x21, 0x01, 12, 0, 0, 0}, true},
    };
    for (const Case& c : cases) {
        GifBuilder g;
        g.Header(8, 8, 0);
        g.GraphicControl(1, 4);
        g.Image(0, 0, 8, 8);
        const uint32_t goodEnd = g.Size();
        g.bytes.insert(g.bytes.end(), c.fault.begin(), c.fault.end());
        if (!c.atEnd) {
            g.GraphicControl(1, 4); // a good unit after the fault is never reached
            g.Image(0, 0, 8, 8);
            g.Trailer();
        }
        const WalkResult r = WalkGif(g.bytes);
        EXPECT_EQ(r.count, 1u) << c.name;
        ASSERT_EQ(r.units.size(), 1u) << c.name;
        EXPECT_EQ(r.units[0].start + r.units[0].size, goodEnd) << c.name;
    }
}

TEST(GifWalkState, NothingWorksWithoutData) {
    GifBuilder g;
    g.Header(8, 8, 0);
    g.Image(0, 0, 8, 8);
    g.Trailer();
    const ExactBuffer b(g.bytes);
    CGifWalk walk;
    walk.Begin(b.data(), b.size());
    int32_t w, h;
    ASSERT_TRUE(walk.ReadHeader(w, h));
    walk.End();
    EXPECT_EQ(walk.m_pbData, nullptr);
    EXPECT_EQ(walk.m_cbData, 0u);
    EXPECT_EQ(walk.m_ofsParse, 0u);
    walk.Rewind();
    GifFrameUnit unit;
    EXPECT_EQ(walk.BlockKindAt(), gbkOther);
    EXPECT_EQ(walk.BlockLength(), -1);
    EXPECT_EQ(walk.SubBlockChainLength(0), 0u);
    EXPECT_FALSE(walk.SkipBlock());
    EXPECT_FALSE(walk.SkipFrameUnit());
    EXPECT_FALSE(walk.NextFrameUnit(unit));
    EXPECT_EQ(walk.CountFrameUnits(), 0u);
    EXPECT_FALSE(walk.ReadHeader(w, h));
}

// --- Truncation -----------------------------------------------------------

// Every prefix of a valid animation: only whole units are found, they are
// the same units as in the whole file, and nothing outside the prefix is read
// (each prefix lives in a heap block of exactly its size).
TEST(GifTruncation, EveryPrefixOfAnAnimation) {
    GifBuilder g;
    g.Header(32, 24, 8);
    g.Comment("leading");
    g.Looping(0);
    std::vector<uint32_t> ends;
    g.GraphicControl(1, 10, 3);
    g.Image(0, 0, 32, 24, 4, 600, 100);
    ends.push_back(g.Size());
    g.GraphicControl(2, 20);
    g.Comment("inside");
    g.Image(4, 4, 8, 8, 0, 10);
    ends.push_back(g.Size());
    g.Image(1, 2, 3, 4, 0, 1);
    ends.push_back(g.Size());
    g.Comment("between");
    g.GraphicControl(3, 40, 1, 7);
    g.PlainText("hi");
    ends.push_back(g.Size());
    g.Trailer();

    const WalkResult whole = WalkGif(g.bytes);
    ASSERT_EQ(whole.count, 4u);
    ASSERT_EQ(whole.units.size(), 4u);

    for (uint32_t len = 0; len <= g.Size(); ++len) {
        const std::vector<uint8_t> prefix(g.bytes.begin(), g.bytes.begin() + len);
        const WalkResult r = WalkGif(prefix);
        SCOPED_TRACE(len);
        EXPECT_EQ(r.signature, len >= 6);
        EXPECT_EQ(r.header, len >= 13 + 24);
        uint32_t expected = 0;
        while (expected < ends.size() && ends[expected] <= len)
            ++expected;
        ASSERT_EQ(r.count, expected);
        ASSERT_EQ(r.units.size(), expected);
        for (uint32_t i = 0; i < expected; ++i) {
            const GifFrameUnit& a = r.units[i];
            const GifFrameUnit& b = whole.units[i];
            EXPECT_EQ(a.start, b.start);
            EXPECT_EQ(a.size, b.size);
            EXPECT_EQ(a.delay, b.delay);
            EXPECT_EQ(a.disposal, b.disposal);
            EXPECT_EQ(a.width, b.width);
            EXPECT_EQ(r.streams[i], whole.streams[i]);
        }
    }
}
