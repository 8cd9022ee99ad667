// list, show and reference: what the tweak tables hold, and each tweak's state.
#include "ctl/commands/CommandFamilies.h"
#include "ctl/commands/Shared.h"
#include "ctl/formats/Choices.h"
#include "ctl/ExitCodes.h"
#include "ctl/commands/Reference.h"
#include "ctl/output/Words.h"
#include "ctl/scopes/ScopeJson.h"
#include "ctl/commands/Tweak.h"

#include <cstdio>

namespace {

std::string ListObject(const TweakRow& row) {
    return "{\"name\": " + JsonText(row.name) + ", \"page\": " + JsonText(PageOf(row)) +
           ", \"label\": " + JsonText(row.label) +
           ", \"state\": " + (ReadsOn(row) ? "\"on\"" : "\"off\"") +
           ", \"rights\": " + JsonText(Rights(row)) + "}";
}

std::string ListLine(const TweakRow& row) {
    char line[256];
    snprintf(line, sizeof(line), "  %-3s %-13s %-45s %s", ReadsOn(row) ? "on" : "off", Rights(row),
             row.name, row.label);
    return line;
}

// One scope's rows: under a heading of its own, or one a page for a Whole one.
void ListScope(Console& c, ScopeJson* json, const Scope& s) {
    if (json)
        json->Begin(s);
    else if (s.kind != Scope::Whole)
        c.out << s.Heading() << "\n";
    for (const TweakTable& table : TweakTables()) {
        if (!json && s.kind == Scope::Whole)
            c.out << table.tab << "\n";
        for (const TweakRow& row : table.rows)
            if (!s.Covers(row))
                continue;
            else if (json)
                json->Item(ListObject(row));
            else
                c.out << ListLine(row) << "\n";
    }
    if (json)
        json->End();
}

int List(Console& c, const Arguments& a) {
    Scopes scopes;
    if (!scopes.Make(c, a.allUsers))
        return kSomeFailed;
    const size_t refused = EachReported(
        c, scopes, a.Has(kJson), [&](const Scope& s, ScopeJson* json) { ListScope(c, json, s); });
    return refused ? kSomeFailed : kDone;
}

int Show(Console& c, const Arguments& a) {
    std::string problem;
    const TweakRow* row = ReadTweakName(a.words[0], &problem);
    if (!row) {
        c.Error() << problem << "\n";
        return kBadInput;
    }
    c.out << row->name << "\n"
          << "  Page:     " << PageOf(*row) << "\n"
          << "  Label:    " << row->label << "\n"
          << "  Tooltip:  " << row->tooltip << "\n"
          << "  State:    " << (ReadsOn(*row) ? "on" : "off") << "\n"
          << "  Rights:   " << Rights(*row) << "\n"
          << "  On when:\n";
    for (const Condition& condition : row->checkedWhen)
        c.out << "    " << ConditionWords(condition) << "\n";
    for (const auto& [title, cell] : {std::pair{"On", &row->onCheck}, {"Off", &row->onUncheck}}) {
        c.out << "  " << title << ":\n";
        for (const Effect& e : EffectsOf(*cell))
            c.out << "    " << EffectWords(e, kSystemFolderWords) << "\n";
    }
    return kDone;
}

int Reference(Console& c, const Arguments&) {
    c.out.Lines(ReferenceText());
    return kDone;
}

} // namespace

// clang-format off
const Command kListCommand{"list", "", Arity::None, {&kJson},
    "every tweak with its state, and whether it needs\nadministrator rights", List, true, false, true};
const Command kShowCommand{"show", "NAME", Arity::One, {},
    "what a tweak reads, and what on and off do", Show};
const Command kReferenceCommand{"reference", "", Arity::None, {},
    "a Markdown reference of all tweaks", Reference};
// clang-format on
