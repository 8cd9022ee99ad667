// The words that name a tweak: a name read in any case, and the name a
// mistyped one was meant to be.
#include "ctl/formats/Choices.h"
#include "ctl/output/Text.h"
#include "tweaks/Tweaks.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace {

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c | 0x20) : c;
}

size_t Distance(std::string_view a, std::string_view b) {
    std::vector<size_t> row(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j)
        row[j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        size_t diagonal = row[0];
        row[0] = i;
        for (size_t j = 1; j <= b.size(); ++j) {
            const size_t above = row[j];
            row[j] = std::min(
                {row[j] + 1, row[j - 1] + 1, diagonal + (Lower(a[i - 1]) != Lower(b[j - 1]))});
            diagonal = above;
        }
    }
    return row[b.size()];
}

bool Contains(std::string_view text, std::string_view part) {
    return std::search(text.begin(), text.end(), part.begin(), part.end(),
                       [](char x, char y) { return Lower(x) == Lower(y); }) != text.end();
}

// The known name a mistyped one was meant to be: one within a few edits of
// it, or the only one that holds it whole; empty when none is that close.
std::string NearestName(std::string_view name) {
    const size_t nearEnough = std::max<size_t>(2, name.size() / 4);
    constexpr size_t kShortestPart = 4;
    std::string best, holder;
    size_t bestDistance = SIZE_MAX, holders = 0;
    for (const TweakTable& table : TweakTables())
        for (const TweakRow& row : table.rows) {
            std::string_view candidate = row.name;
            // Never nearer than the difference in length: a long name is not
            // compared letter by letter.
            auto distance = [&](std::string_view other) {
                const size_t least = name.size() > other.size() ? name.size() - other.size()
                                                                : other.size() - name.size();
                return least > nearEnough ? least : Distance(name, other);
            };
            size_t d = distance(candidate);
            // A name given without its page is near its row too.
            if (name.find('/') == std::string_view::npos)
                d = std::min(d, distance(candidate.substr(candidate.find('/') + 1)));
            if (d < bestDistance) {
                bestDistance = d;
                best = row.name;
            }
            if (name.size() >= kShortestPart && Contains(candidate, name)) {
                ++holders;
                holder = row.name;
            }
        }
    if (bestDistance <= nearEnough)
        return best;
    return holders == 1 ? holder : std::string();
}

} // namespace

const TweakRow* ReadTweakName(std::string_view name, std::string* problem) {
    for (const TweakTable& table : TweakTables())
        for (const TweakRow& row : table.rows)
            if (SameWord(name, row.name))
                return &row;
    if (!problem)
        return nullptr;
    const std::string nearest = NearestName(name);
    *problem =
        "unknown tweak \"" + Shortened(name) + "\"" +
        (nearest.empty() ? "; morvanectl list names them all" : "; did you mean " + nearest + "?");
    return nullptr;
}
