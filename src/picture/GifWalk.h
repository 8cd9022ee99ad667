// Block-level walk over a GIF87a/GIF89a file held in memory: recognises the
// file, measures and skips its blocks, and splits it into frame units. Nothing
// here decodes pixels, and no Windows header is needed, so the walk also
// builds and is tested natively.
#pragma once

#include <cstddef>
#include <cstdint>

enum GifBlockKind {
    gbkOther = 0,
    gbkApplicationExt = 1,
    gbkCommentExt = 2,
    gbkGraphicControlExt = 3,
    gbkPlainTextExt = 4,
    gbkImage = 5,
    gbkTrailer = 6
};

// Where one frame unit lies in the data and what its graphic control
// extension and image descriptor say about it.
struct GifFrameUnit {
    uint32_t start;   // offset of the unit's first block
    uint32_t size;    // bytes from start through the end of its image or plain text block
    uint32_t delay;   // hundredths of a second; 0xFFFFFFFF without a graphic control extension
    int32_t disposal; // 0 to 7; 0 without a graphic control extension
    int32_t left, top, width, height; // from the image descriptor; 0 for plain text
};

class CGifWalk {
public:
    static constexpr uint32_t kHeaderSize = 13; // signature, version, logical screen descriptor

    static bool HasGifSignature(const uint8_t* p, uint32_t cb);

    void Begin(const uint8_t* pbData, uint32_t cbData);
    void End();

    bool ReadHeader(int32_t& width, int32_t& height);
    uint32_t CountFrameUnits();
    void Rewind();
    bool NextFrameUnit(GifFrameUnit& unit);

    // A frame stream is a one-frame GIF: the source's header and global colour
    // table, one unit's bytes and a trailer. Only for units NextFrameUnit gave.
    uint32_t FrameStreamLength(const GifFrameUnit& unit) const;
    void CopyFrameStream(const GifFrameUnit& unit, uint8_t* dst) const;

    GifBlockKind BlockKindAt() const;
    uint32_t SubBlockChainLength(uint32_t ofs) const;
    int64_t BlockLength() const;
    bool SkipBlock();
    bool SkipFrameUnit();

    const uint8_t* m_pbData = nullptr;
    uint32_t m_cbData = 0;
    uint32_t m_ofsParse = 0;
    uint32_t m_cbColorTable = 0;

private:
    bool SkipLeadingExtensions();
    bool SkipToPicture();
    uint16_t Read16(uint32_t ofs) const;
};
