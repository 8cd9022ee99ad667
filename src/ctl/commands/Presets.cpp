// check and save: a preset compared with the tweaks, and the tweaks written
// as one.
#include "ctl/ExitCodes.h"
#include "ctl/formats/FileWriting.h"
#include "ctl/formats/Files.h"
#include "system/ErrorText.h"
#include "ctl/output/Text.h"
#include "ctl/commands/Tweak.h"
#include "ctl/output/Words.h"
#include "ctl/commands/CommandFamilies.h"
#include "ctl/commands/Shared.h"
#include "ctl/scopes/ScopeJson.h"


namespace {

std::string CheckObject(const PresetLine& line, bool current) {
    return std::string("{\"name\": ") + JsonText(line.row->name) +
           ", \"wanted\": " + (line.on ? "\"on\"" : "\"off\"") +
           ", \"current\": " + (current ? "\"on\"" : "\"off\"") +
           ", \"holds\": " + (current == line.on ? "true" : "false") + "}";
}

// Compares one scope's lines; returns how many differ. Over many scopes
// each is a group under its heading, its lines indented.
size_t CheckScope(Console& c, ScopeJson* json, const Scope& s,
                  const std::vector<PresetLine>& lines) {
    const char* indent = s.kind == Scope::Whole ? "" : "  ";
    size_t differ = 0, covered = 0;
    if (json)
        json->Begin(s);
    else if (*indent)
        c.out << s.Heading() << "\n";
    for (const PresetLine& line : lines) {
        if (!s.Covers(*line.row))
            continue;
        ++covered;
        const bool current = ReadsOn(*line.row);
        differ += current != line.on;
        if (json)
            json->Item(CheckObject(line, current));
        else if (current != line.on)
            c.out << indent << line.row->name << ": " << (current ? "on" : "off") << ", wanted "
                  << (line.on ? "on" : "off") << ": " << WhatDecides(*line.row) << "\n";
    }
    if (json)
        json->End();
    else if (*indent && !differ)
        c.out << "  all " << covered << " hold\n";
    return differ;
}

void CheckSummary(Console& c, const Scopes& scopes, const std::string& path,
                  const std::vector<PresetLine>& lines, size_t differ, size_t read,
                  size_t refused) {
    if (!scopes.Many()) {
        if (differ)
            c.out << differ << " of " << lines.size() << " tweaks differ from " << path << "\n";
        else
            c.out << "All " << lines.size() << " tweaks of " << path << " hold\n";
        return;
    }
    size_t perUser = 0;
    for (const PresetLine& line : lines)
        perUser += PerUserRow(*line.row);
    c.out << differ << " lines differ from " << path << " (" << lines.size() - perUser
          << " machine-wide, " << perUser << " in each of " << read << " profiles)";
    if (refused)
        c.out << "; " << refused << " profiles could not be read";
    c.out << "\n";
}

// Compares the tweaks with a preset and changes nothing.
int Check(Console& c, const Arguments& a) {
    const std::string& path = a.words[0];
    std::vector<PresetLine> lines;
    if (const int code = ReadPreset(c, path, "nothing was checked", &lines); code != kDone)
        return code;
    Scopes scopes;
    if (!scopes.Make(c, a.allUsers))
        return kSomeFailed;
    size_t differ = 0, read = 0;
    const size_t refused =
        EachReported(c, scopes, a.Has(kJson), [&](const Scope& s, ScopeJson* json) {
            read += s.kind == Scope::User;
            differ += CheckScope(c, json, s, lines);
        });
    if (!a.Has(kJson))
        CheckSummary(c, scopes, path, lines, differ, read, refused);
    return differ ? kDiffers : refused ? kSomeFailed : kDone;
}

int Save(Console& c, const Arguments& a) {
    const std::string& path = a.words[0];
    if (!WriteOut(c, path, CurrentPreset(), a.Has(kForce), "save --force replaces it"))
        return kBadInput;
    c.out << "Preset written to " << path << "\n";
    return kDone;
}

} // namespace

int ReadPreset(Console& c, const std::string& path, const char* refusal,
               std::vector<PresetLine>* lines) {
    std::string text;
    if (const DWORD status = ReadWholeFile(path, &text); status != ERROR_SUCCESS) {
        c.Error() << "cannot read " << path << ": " << ErrorText(status) << "; " << refusal << "\n";
        return kBadInput;
    }
    std::vector<std::string> errors;
    size_t unshown = 0;
    ParsePreset(text, lines, &errors, &unshown);
    if (!errors.empty()) {
        for (const std::string& e : errors)
            c.Error() << path << ": " << e << "\n";
        if (unshown)
            c.Error() << path << ": \xE2\x80\xA6 and " << unshown << " more\n";
        c.Error() << refusal << "\n";
        return kBadInput;
    }
    // A preset of comments only is a deployment gone wrong, not a wish for
    // nothing: check must not read it as compliant.
    if (lines->empty()) {
        c.Error() << path << " names no tweak; " << refusal << "\n";
        return kBadInput;
    }
    return kDone;
}

// clang-format off
const Command kCheckCommand{"check", "PRESET", Arity::One, {&kJson},
    "compares the tweaks with a preset, changing nothing", Check, true, false, true};
const Command kSaveCommand{"save", "PRESET", Arity::One, {&kForce},
    "writes the current states as a preset", Save};
// clang-format on
