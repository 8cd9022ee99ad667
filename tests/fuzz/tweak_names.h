// Stands in for the tweak tables where only the names count: the preset
// reader built on the build machine finds rows by name here. The names are
// the reference's (docs/tweaks.md), read when the build is configured.
#pragma once

#include <span>

struct TweakRow {
    const char* name;
};

std::span<const TweakRow> NamedRows();
