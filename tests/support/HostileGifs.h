// GIFs a careless reader would trip over: a valid two-frame animation cut
// short at every structural boundary, and variants whose lengths, sizes,
// flags and code sizes lie.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct NamedGif {
    std::string name;
    std::vector<uint8_t> bytes;
};

std::vector<NamedGif> HostileGifs();
