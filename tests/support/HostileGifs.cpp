#include "support/HostileGifs.h"

#include "support/TestGif.h"

namespace {

using Bytes = std::vector<uint8_t>;

// The parts of a GIF in file order; the generator edits or drops parts and
// cuts the file at their boundaries.
struct Part {
    std::string name;
    Bytes bytes;
};

Bytes Le16(int v) {
    return {uint8_t(v & 0xFF), uint8_t(v >> 8)};
}

Bytes Cat(std::initializer_list<Bytes> pieces) {
    Bytes out;
    for (const Bytes& p : pieces)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

Bytes Join(const std::vector<Part>& parts) {
    Bytes out;
    for (const Part& p : parts)
        out.insert(out.end(), p.bytes.begin(), p.bytes.end());
    return out;
}

// A 16 x 8 screen with a four-colour global table, a looping NETSCAPE block,
// frame 1 red on the left half, frame 2 blue on the right half; 5 hundredths
// each.
std::vector<Part> TwoFrames() {
    auto gce = [](int disposal) {
        return Cat({{0x21, 0xF9, 4, uint8_t(disposal << 2)}, Le16(5), {0, 0}});
    };
    auto descriptor = [](int left) {
        return Cat({{0x2C}, Le16(left), Le16(0), Le16(8), Le16(8), {0}});
    };
    return {
        {"signature", {'G', 'I', 'F', '8', '9', 'a'}},
        {"screen", Cat({Le16(16), Le16(8), {0xF1, 0, 0}})},
        {"global table", {255, 0, 0, 0, 0, 255, 0, 255, 0, 0, 0, 0}},
        {"netscape",
         {0x21, 0xFF, 11, 'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0', 3, 1, 0, 0, 0}},
        {"control 1", gce(1)},
        {"descriptor 1", descriptor(0)},
        {"code size 1", {2}},
        {"data 1", ImageSubBlocks(64, 0)},
        {"control 2", gce(2)},
        {"descriptor 2", descriptor(8)},
        {"code size 2", {2}},
        {"data 2", ImageSubBlocks(64, 1)},
        {"trailer", {0x3B}},
    };
}

size_t IndexOf(const std::vector<Part>& parts, const std::string& name) {
    for (size_t i = 0; i < parts.size(); ++i)
        if (parts[i].name == name)
            return i;
    return parts.size();
}

NamedGif Edited(const std::string& name, void (*edit)(std::vector<Part>&)) {
    std::vector<Part> parts = TwoFrames();
    edit(parts);
    return {name, Join(parts)};
}

} // namespace

std::vector<NamedGif> HostileGifs() {
    std::vector<NamedGif> gifs;
    const std::vector<Part> base = TwoFrames();

    // Cut after each part, and in the middle of each part longer than a byte.
    Bytes prefix;
    for (const Part& part : base) {
        if (part.bytes.size() > 1)
            gifs.push_back({"cut inside " + part.name,
                            Cat({prefix, Bytes(part.bytes.begin(),
                                               part.bytes.begin() + part.bytes.size() / 2)})});
        prefix.insert(prefix.end(), part.bytes.begin(), part.bytes.end());
        if (&part != &base.back())
            gifs.push_back({"cut after " + part.name, prefix});
    }

    // A sub-block that claims more bytes than the file holds.
    gifs.push_back(Edited("sub-block past the end", [](std::vector<Part>& p) {
        p[IndexOf(p, "data 2")].bytes = {200, 1, 2, 3};
        p.pop_back();
    }));
    gifs.push_back(Edited("first sub-block past the end", [](std::vector<Part>& p) {
        p[IndexOf(p, "data 1")].bytes = {255, 7};
        p.resize(IndexOf(p, "data 1") + 1);
    }));

    // LZW minimum code sizes no decoder accepts.
    for (uint8_t size : {0, 12, 13, 255}) {
        std::vector<Part> p = TwoFrames();
        p[IndexOf(p, "code size 1")].bytes = {size};
        p[IndexOf(p, "code size 2")].bytes = {size};
        gifs.push_back({"code size " + std::to_string(size), Join(p)});
    }

    // Screen and frame sizes of 0 and 65535.
    for (int size : {0, 65535}) {
        std::vector<Part> p = TwoFrames();
        p[IndexOf(p, "screen")].bytes = Cat({Le16(size), Le16(size), {0xF1, 0, 0}});
        gifs.push_back({"screen " + std::to_string(size), Join(p)});
        p = TwoFrames();
        for (const char* d : {"descriptor 1", "descriptor 2"})
            p[IndexOf(p, d)].bytes = Cat({{0x2C}, Le16(0), Le16(0), Le16(size), Le16(size), {0}});
        gifs.push_back({"frames " + std::to_string(size), Join(p)});
    }

    // Graphic control extensions whose block size is not 4.
    for (uint8_t size : {0, 3, 5, 255}) {
        std::vector<Part> p = TwoFrames();
        p[IndexOf(p, "control 1")].bytes[2] = size;
        p[IndexOf(p, "control 2")].bytes[2] = size;
        gifs.push_back({"control block size " + std::to_string(size), Join(p)});
    }

    // NETSCAPE blocks whose lengths are wrong.
    gifs.push_back(Edited("netscape block size 10",
                          [](std::vector<Part>& p) { p[IndexOf(p, "netscape")].bytes[2] = 10; }));
    gifs.push_back(Edited("netscape block size 255",
                          [](std::vector<Part>& p) { p[IndexOf(p, "netscape")].bytes[2] = 255; }));
    gifs.push_back(Edited("netscape sub-block 2",
                          [](std::vector<Part>& p) { p[IndexOf(p, "netscape")].bytes[14] = 2; }));
    gifs.push_back(Edited("netscape sub-block 250",
                          [](std::vector<Part>& p) { p[IndexOf(p, "netscape")].bytes[14] = 250; }));
    gifs.push_back(Edited("netscape without terminator", [](std::vector<Part>& p) {
        p[IndexOf(p, "netscape")].bytes.pop_back();
    }));

    // Colour table flags with no table behind them.
    gifs.push_back(Edited("global flag without table", [](std::vector<Part>& p) {
        p[IndexOf(p, "screen")].bytes[4] = 0xF7;
        p.erase(p.begin() + IndexOf(p, "global table"));
    }));
    gifs.push_back(Edited("local flag without table", [](std::vector<Part>& p) {
        p[IndexOf(p, "descriptor 1")].bytes[9] = 0x87;
        p[IndexOf(p, "descriptor 2")].bytes[9] = 0x81;
    }));

    // An image separator as the very last byte.
    gifs.push_back(Edited("image separator last, no frame", [](std::vector<Part>& p) {
        p.resize(IndexOf(p, "control 1"));
        p.push_back({"separator", {0x2C}});
    }));
    gifs.push_back(Edited("image separator last, after a frame", [](std::vector<Part>& p) {
        p.resize(IndexOf(p, "control 2"));
        p.push_back({"separator", {0x2C}});
    }));
    return gifs;
}
