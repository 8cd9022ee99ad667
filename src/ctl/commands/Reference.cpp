#include "ctl/commands/Reference.h"

#include "ctl/output/Words.h"
#include "system/Effects.h"
#include "tweaks/Tweaks.h"

namespace {

std::string Code(const std::string& text) {
    return "`" + text + "`";
}

void Phrases(std::string& out, const char* title, const Cell& cell) {
    out += "- " + std::string(title) + ":\n";
    for (const Effect& e : EffectsOf(cell))
        out += "  - " + Code(EffectWords(e, kSystemFolderWords)) + "\n";
}

} // namespace

std::string ReferenceText() {
    std::string out = "# The fifty tweaks\n\n"
                      "What each box of Morvane reads and changes, the same for `morvanectl`.\n"
                      "Made by `morvanectl reference`; do not edit by hand.\n\n"
                      "Names are stable: presets and scripts use them "
                      "(`morvanectl set NAME on`). A tweak needs *administrator* rights when it "
                      "writes under HKLM or HKCR or starts a program; without them those changes "
                      "fail.\n";
    for (const TweakTable& table : TweakTables()) {
        out += "\n## " + std::string(table.tab) + "\n";
        for (const TweakRow& row : table.rows) {
            out += "\n### " + Code(row.name) + "\n\n";
            out += "- Label: " + std::string(row.label) + "\n";
            out += "- Tooltip: " + std::string(row.tooltip) + "\n";
            out += "- Rights: " + std::string(Rights(row)) + "\n";
            out += "- On when:\n";
            for (const Condition& c : row.checkedWhen)
                out += "  - " + Code(ConditionWords(c)) + "\n";
            Phrases(out, "On", row.onCheck);
            Phrases(out, "Off", row.onUncheck);
        }
    }
    return out;
}
