// A tiny GIF writer for tests: appends blocks and returns where each begins.
// Image data is filler, not LZW: the walk never decodes it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

class GifBuilder {
public:
    std::vector<uint8_t> bytes;

    uint32_t Size() const { return uint32_t(bytes.size()); }

    // gctEntries 0 writes no global colour table; otherwise a power of two, 2 to 256.
    uint32_t Header(uint16_t width, uint16_t height, unsigned gctEntries,
                    const char* signature = "GIF89a") {
        const uint32_t at = Size();
        Append(signature, 6);
        Put16(width);
        Put16(height);
        bytes.push_back(uint8_t(TableBits(gctEntries) | 0x70)); // colour resolution 8 bits
        bytes.push_back(0);                                     // background colour
        bytes.push_back(0);                                     // aspect ratio
        PutTable(gctEntries);
        return at;
    }

    // transparent < 0 leaves the transparency flag off.
    uint32_t GraphicControl(int disposal, uint16_t delay, int transparent = -1,
                            uint8_t blockSize = 4) {
        const uint32_t at = Size();
        bytes.insert(bytes.end(), {0x21, 0xF9, blockSize});
        bytes.push_back(uint8_t((disposal & 7) << 2 | (transparent >= 0 ? 1 : 0)));
        Put16(delay);
        bytes.push_back(uint8_t(transparent >= 0 ? transparent : 0));
        bytes.push_back(0);
        return at;
    }

    uint32_t Application(const char* ident11, const std::vector<uint8_t>& data) {
        const uint32_t at = Size();
        bytes.insert(bytes.end(), {0x21, 0xFF, 11});
        Append(ident11, 11);
        SubBlocks(data);
        return at;
    }

    uint32_t Looping(uint16_t loops = 0) {
        return Application("NETSCAPE2.0", {1, uint8_t(loops), uint8_t(loops >> 8)});
    }

    uint32_t Comment(const std::string& text) {
        const uint32_t at = Size();
        bytes.insert(bytes.end(), {0x21, 0xFE});
        SubBlocks(std::vector<uint8_t>(text.begin(), text.end()));
        return at;
    }

    // cbData bytes of filler in sub-blocks of at most chunk bytes.
    uint32_t Image(uint16_t left, uint16_t top, uint16_t width, uint16_t height,
                   unsigned lctEntries = 0, size_t cbData = 40, size_t chunk = 255) {
        const uint32_t at = Size();
        bytes.push_back(0x2C);
        Put16(left);
        Put16(top);
        Put16(width);
        Put16(height);
        bytes.push_back(uint8_t(TableBits(lctEntries)));
        PutTable(lctEntries);
        bytes.push_back(7); // LZW minimum code size
        SubBlocks(Filler(cbData), chunk);
        return at;
    }

    uint32_t PlainText(const std::string& text) {
        const uint32_t at = Size();
        bytes.insert(bytes.end(), {0x21, 0x01, 12});
        Put16(2); // grid left, top, width, height
        Put16(3);
        Put16(40);
        Put16(8);
        bytes.insert(bytes.end(), {8, 8, 1, 0}); // cell size, colours
        SubBlocks(std::vector<uint8_t>(text.begin(), text.end()));
        return at;
    }

    uint32_t Trailer() {
        const uint32_t at = Size();
        bytes.push_back(0x3B);
        return at;
    }

    void SubBlocks(const std::vector<uint8_t>& data, size_t chunk = 255) {
        for (size_t i = 0; i < data.size(); i += chunk) {
            const size_t n = data.size() - i < chunk ? data.size() - i : chunk;
            bytes.push_back(uint8_t(n));
            bytes.insert(bytes.end(), data.begin() + i, data.begin() + i + n);
        }
        bytes.push_back(0);
    }

    void Put16(uint16_t v) {
        bytes.push_back(uint8_t(v));
        bytes.push_back(uint8_t(v >> 8));
    }

    void Append(const char* p, size_t n) { bytes.insert(bytes.end(), p, p + n); }

private:
    static unsigned TableBits(unsigned entries) {
        if (entries == 0)
            return 0;
        unsigned n = 0;
        while ((2u << n) < entries)
            ++n;
        return 0x80 | n;
    }

    void PutTable(unsigned entries) {
        for (unsigned i = 0; i < entries; ++i)
            bytes.insert(bytes.end(), {uint8_t(i), uint8_t(i * 3), uint8_t(255 - i)});
    }

    // Bytes that include every value a block walk might misread: introducers,
    // separators, trailers and zeros.
    static std::vector<uint8_t> Filler(size_t n) {
        std::vector<uint8_t> v(n);
        for (size_t i = 0; i < n; ++i)
            v[i] = uint8_t(i * 37 + 0x21);
        return v;
    }
};

// A copy of data in a heap block of exactly its size, so that the address
// sanitizer reports any read past the end.
class ExactBuffer {
public:
    explicit ExactBuffer(const uint8_t* p, size_t n) : m_p(new uint8_t[n]), m_n(n) {
        if (n)
            memcpy(m_p.get(), p, n);
    }
    explicit ExactBuffer(const std::vector<uint8_t>& v) : ExactBuffer(v.data(), v.size()) {}

    const uint8_t* data() const { return m_p.get(); }
    uint32_t size() const { return uint32_t(m_n); }

private:
    std::unique_ptr<uint8_t[]> m_p;
    size_t m_n;
};
