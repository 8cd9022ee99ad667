#include "GifWalk.h"

#include <cstring>

// Every read below is preceded by a check against m_cbData, and lengths are
// compared as "n > m_cbData - ofs" (with ofs < m_cbData known) so that nothing
// wraps in 32 bits. m_ofsParse may lie beyond m_cbData after a header that
// does not fit; the walk then finds no block at all.

namespace {

constexpr uint8_t kExtensionIntroducer = 0x21;
constexpr uint8_t kImageSeparator = 0x2C;
constexpr uint8_t kTrailer = 0x3B;

// Size in bytes of the colour table announced by a packed byte (logical screen
// or image descriptor): bit 7 says there is one, bits 0-2 give its size.
uint32_t ColorTableSize(uint8_t packed) {
    return (packed & 0x80) ? 3u << ((packed & 7) + 1) : 0;
}

} // namespace

bool CGifWalk::HasGifSignature(const uint8_t* p, uint32_t cb) {
    return p && cb >= 6 && (memcmp(p, "GIF87a", 6) == 0 || memcmp(p, "GIF89a", 6) == 0);
}

void CGifWalk::Begin(const uint8_t* pbData, uint32_t cbData) {
    m_pbData = pbData;
    m_cbData = pbData ? cbData : 0;
    m_ofsParse = 0;
    m_cbColorTable = 0;
}

void CGifWalk::End() {
    m_pbData = nullptr;
    m_cbData = 0;
    m_ofsParse = 0;
}

bool CGifWalk::ReadHeader(int32_t& width, int32_t& height) {
    width = 0;
    height = 0;
    m_cbColorTable = 0;
    m_ofsParse = kHeaderSize;
    // Too short for the logical screen descriptor: no size, and the parse
    // offset lies past the end so that no frame unit is found.
    if (!m_pbData || m_cbData < kHeaderSize)
        return false;
    width = Read16(6);
    height = Read16(8);
    m_cbColorTable = ColorTableSize(m_pbData[10]);
    m_ofsParse = kHeaderSize + m_cbColorTable;
    // A global colour table running past the end likewise leaves the parse
    // offset outside the data; the size read above is kept.
    return m_cbColorTable <= m_cbData - kHeaderSize;
}

uint32_t CGifWalk::CountFrameUnits() {
    uint32_t count = 0;
    while (SkipFrameUnit())
        ++count;
    return count;
}

void CGifWalk::Rewind() {
    m_ofsParse = kHeaderSize + m_cbColorTable;
}

bool CGifWalk::NextFrameUnit(GifFrameUnit& unit) {
    // Plain text units have no image descriptor; they keep these zeros.
    unit = GifFrameUnit{0, 0, 0xFFFFFFFF, 0, 0, 0, 0, 0};
    if (!m_pbData || !SkipLeadingExtensions())
        return false;
    const GifBlockKind first = BlockKindAt();
    if (first == gbkOther || first == gbkTrailer || BlockLength() <= 0)
        return false;
    unit.start = m_ofsParse;

    // Each block is skipped before its fixed bytes are read: a successful
    // skip proves the block lies inside the data, so a truncated last unit is
    // never read past the end.
    if (first == gbkGraphicControlExt) {
        if (!SkipBlock())
            return false;
        unit.delay = Read16(unit.start + 4);
        unit.disposal = (m_pbData[unit.start + 3] >> 2) & 7;
        if (!SkipToPicture())
            return false;
    }
    const uint32_t ofsPicture = m_ofsParse;
    const bool isImage = BlockKindAt() == gbkImage;
    if (!SkipBlock())
        return false;
    if (isImage) {
        unit.left = Read16(ofsPicture + 1);
        unit.top = Read16(ofsPicture + 3);
        unit.width = Read16(ofsPicture + 5);
        unit.height = Read16(ofsPicture + 7);
    }
    unit.size = m_ofsParse - unit.start;
    return true;
}

uint32_t CGifWalk::FrameStreamLength(const GifFrameUnit& unit) const {
    return kHeaderSize + m_cbColorTable + unit.size + 1;
}

void CGifWalk::CopyFrameStream(const GifFrameUnit& unit, uint8_t* dst) const {
    const uint32_t cbHead = kHeaderSize + m_cbColorTable;
    memcpy(dst, m_pbData, cbHead);
    memcpy(dst + cbHead, m_pbData + unit.start, unit.size);
    dst[cbHead + unit.size] = kTrailer;
}

GifBlockKind CGifWalk::BlockKindAt() const {
    if (!m_pbData || m_ofsParse >= m_cbData)
        return gbkOther;
    switch (m_pbData[m_ofsParse]) {
    case kImageSeparator:
        return gbkImage;
    case kTrailer:
        return gbkTrailer;
    case kExtensionIntroducer:
        break;
    default:
        return gbkOther;
    }
    // An introducer that is the last byte has no label to classify it by.
    if (m_cbData - m_ofsParse < 2)
        return gbkOther;
    switch (m_pbData[m_ofsParse + 1]) {
    case 0xFF:
        return gbkApplicationExt;
    case 0xFE:
        return gbkCommentExt;
    case 0xF9:
        return gbkGraphicControlExt;
    case 0x01:
        return gbkPlainTextExt;
    default:
        return gbkOther;
    }
}

uint32_t CGifWalk::SubBlockChainLength(uint32_t ofs) const {
    if (!m_pbData || ofs >= m_cbData)
        return 0;
    uint32_t total = 0;
    for (;;) {
        const uint32_t n = m_pbData[ofs];
        if (n == 0)
            return total + 1;
        // The next size byte, at ofs + n + 1, must lie inside the data too.
        if (n + 1 >= m_cbData - ofs)
            return 0;
        total += n + 1;
        ofs += n + 1;
    }
}

int64_t CGifWalk::BlockLength() const {
    const GifBlockKind kind = BlockKindAt();
    if (kind == gbkOther)
        return -1;
    // From here on m_ofsParse < m_cbData.
    const uint32_t cbLeft = m_cbData - m_ofsParse;
    // Length of a block made of cbFixed bytes and a sub-block chain; the fixed
    // parts have their standard sizes whatever their block-size bytes say.
    auto withChain = [&](uint32_t cbFixed) -> int64_t {
        if (cbFixed >= cbLeft)
            return 0;
        const uint32_t cbChain = SubBlockChainLength(m_ofsParse + cbFixed);
        return cbChain ? int64_t(cbFixed) + cbChain : 0;
    };
    switch (kind) {
    case gbkApplicationExt:
        return withChain(14);
    case gbkCommentExt:
        return withChain(2);
    case gbkGraphicControlExt:
        return 8; // also when its block-size byte is not 4
    case gbkPlainTextExt:
        return withChain(15);
    case gbkImage:
        // The local colour table's size is in the packed byte at +9.
        if (cbLeft <= 9)
            return 0;
        return withChain(11 + ColorTableSize(m_pbData[m_ofsParse + 9]));
    case gbkTrailer:
        return 1;
    default:
        return -1;
    }
}

bool CGifWalk::SkipBlock() {
    if (!m_pbData)
        return false;
    const int64_t cb = BlockLength();
    // cb > 0 means a block was recognised, so m_ofsParse < m_cbData. A block
    // may end exactly at the end of the data.
    if (cb <= 0 || cb > int64_t(m_cbData - m_ofsParse))
        return false;
    m_ofsParse += uint32_t(cb);
    return true;
}

bool CGifWalk::SkipFrameUnit() {
    if (!m_pbData || !SkipLeadingExtensions())
        return false;
    const GifBlockKind first = BlockKindAt();
    if (first == gbkOther || first == gbkTrailer || BlockLength() <= 0)
        return false;
    if (first == gbkGraphicControlExt && !(SkipBlock() && SkipToPicture()))
        return false;
    return SkipBlock();
}

// Application and comment extensions before a unit's first block belong to
// no frame.
bool CGifWalk::SkipLeadingExtensions() {
    for (;;) {
        const GifBlockKind kind = BlockKindAt();
        if (kind != gbkApplicationExt && kind != gbkCommentExt)
            return true;
        if (!SkipBlock())
            return false;
    }
}

// After a graphic control extension: skips whatever extensions follow it up
// to the unit's image or plain text extension.
bool CGifWalk::SkipToPicture() {
    for (;;) {
        switch (BlockKindAt()) {
        case gbkImage:
        case gbkPlainTextExt:
            return true;
        case gbkOther:
        case gbkTrailer:
            return false;
        default:
            if (!SkipBlock())
                return false;
        }
    }
}

uint16_t CGifWalk::Read16(uint32_t ofs) const {
    return uint16_t(m_pbData[ofs] | (m_pbData[ofs + 1] << 8));
}
