#include "ctl/AllUsers.h"

#include "ctl/Commands.h"
#include "ctl/Files.h"
#include "ctl/Kept.h"
#include "ctl/Text.h"
#include "ctl/Tweak.h"
#include "ctl/Words.h"
#include "system/ErrorText.h"
#include "ctl/ProfileWalk.h"
#include "system/Profiles.h"

#include <cstdio>

namespace {

using Changes = std::vector<std::pair<const TweakRow*, bool>>;

bool ReadsPerUser(const Condition& condition) {
    return !condition.key || ReadOf(condition).Roots().front() == HKCU;
}

// The opening of a profile's JSON object, up to its lines.
std::string JsonOpening(const Profile* p) {
    if (!p)
        return "  {\"scope\": \"machine\", \"profile\": null, \"sid\": null";
    return std::string("  {\"scope\": ") + (p->sid.empty() ? "\"default\"" : "\"user\"") +
           ", \"profile\": " + JsonText(p->name) +
           ", \"sid\": " + (p->sid.empty() ? std::string("null") : JsonText(p->sid));
}

// JSON objects one per profile, separated as an array's items are.
struct JsonList {
    Console& c;
    const char* separator = "\n";
    void Refused(const Profile& p, const std::string& why) {
        c.out << separator << JsonOpening(&p) << ", \"error\": " << JsonText(why) << "}";
        separator = ",\n";
        c.Error() << p.name << ": " << why << "\n";
    }
    void Object(const Profile* p, const std::vector<std::string>& lines) {
        c.out << separator << JsonOpening(p) << ", \"lines\": [";
        const char* inner = "\n";
        for (const std::string& line : lines) {
            c.out << inner << "    " << line;
            inner = ",\n";
        }
        c.out << (lines.empty() ? "]}" : "\n  ]}");
        separator = ",\n";
    }
};

std::vector<const TweakRow*> Rows(bool perUser) {
    std::vector<const TweakRow*> rows;
    for (const TweakTable& table : TweakTables())
        for (const TweakRow& row : table.rows)
            if (PerUserRow(row) == perUser)
                rows.push_back(&row);
    return rows;
}

std::string ListLine(const TweakRow& row, bool json) {
    const bool on = Holds(row.checkedWhen);
    if (json)
        return "{\"name\": " + JsonText(row.name) + ", \"page\": " + JsonText(PageOf(row)) +
               ", \"label\": " + JsonText(row.label) +
               ", \"state\": " + (on ? "\"on\"" : "\"off\"") +
               ", \"rights\": " + JsonText(Rights(row)) + "}";
    char line[256];
    snprintf(line, sizeof(line), "  %-3s %-13s %-45s %s", on ? "on" : "off", Rights(row), row.name,
             row.label);
    return line;
}

std::vector<std::string> ListLines(bool perUser, bool json) {
    std::vector<std::string> lines;
    for (const TweakRow* row : Rows(perUser))
        lines.push_back(ListLine(*row, json));
    return lines;
}

void PrintGroup(Console& c, const std::string& heading, const std::vector<std::string>& lines) {
    c.out << heading << "\n";
    for (const std::string& line : lines)
        c.out << line << "\n";
}

} // namespace

bool PerUserRow(const TweakRow& row) {
    for (const Condition& condition : row.checkedWhen)
        if (ReadsPerUser(condition))
            return true;
    return WritesPerUser(row, true) || WritesPerUser(row, false);
}

int ListAllUsers(Console& c, bool json) {
    std::vector<Profile> profiles;
    if (!ReadProfiles(c, &profiles))
        return kSomeFailed;
    JsonList list{c};
    if (json) {
        c.out << "[";
        list.Object(nullptr, ListLines(false, true));
    } else {
        PrintGroup(c, "Machine-wide", ListLines(false, false));
    }
    const size_t refused = Walk(
        profiles,
        [&](const Profile& p) {
            if (json)
                list.Object(&p, ListLines(true, true));
            else
                PrintGroup(c, Heading(p), ListLines(true, false));
        },
        [&](const Profile& p, const std::string& why) {
            json ? list.Refused(p, why) : SayRefused(c, p, why);
        });
    if (json)
        c.out << "\n]\n";
    return refused ? kSomeFailed : kDone;
}

std::vector<PresetLine> LinesOf(const std::vector<PresetLine>& lines, bool perUser) {
    std::vector<PresetLine> out;
    for (const PresetLine& line : lines)
        if (PerUserRow(*line.row) == perUser)
            out.push_back(line);
    return out;
}

namespace {

// Compares one group and says what differs; returns how many lines differ.
size_t CheckGroup(const std::vector<PresetLine>& lines, bool json, std::vector<std::string>* out) {
    size_t differ = 0;
    for (const PresetLine& line : lines) {
        const bool current = ReadsOn(*line.row);
        const bool holds = current == line.on;
        differ += !holds;
        if (json)
            out->push_back(std::string("{\"name\": ") + JsonText(line.row->name) +
                           ", \"wanted\": " + (line.on ? "\"on\"" : "\"off\"") +
                           ", \"current\": " + (current ? "\"on\"" : "\"off\"") +
                           ", \"holds\": " + (holds ? "true" : "false") + "}");
        else if (!holds)
            out->push_back(std::string("  ") + line.row->name + ": " + (current ? "on" : "off") +
                           ", wanted " + (line.on ? "on" : "off") + ": " + WhatDecides(*line.row));
    }
    if (!json && !differ)
        out->push_back("  all " + std::to_string(lines.size()) + " hold");
    return differ;
}

} // namespace

int CheckAllUsers(Console& c, const std::string& path, const std::vector<PresetLine>& lines,
                  bool json) {
    std::vector<Profile> profiles;
    if (!ReadProfiles(c, &profiles))
        return kSomeFailed;
    const std::vector<PresetLine> machine = LinesOf(lines, false), perUser = LinesOf(lines, true);
    JsonList list{c};
    size_t differ = 0, read = 0;
    auto group = [&](const Profile* p, const std::vector<PresetLine>& group) {
        std::vector<std::string> out;
        differ += CheckGroup(group, json, &out);
        json ? list.Object(p, out) : PrintGroup(c, p ? Heading(*p) : "Machine-wide", out);
    };
    if (json)
        c.out << "[";
    group(nullptr, machine);
    const size_t refused = Walk(
        profiles,
        [&](const Profile& p) {
            ++read;
            group(&p, perUser);
        },
        [&](const Profile& p, const std::string& why) {
            json ? list.Refused(p, why) : SayRefused(c, p, why);
        });
    if (json) {
        c.out << "\n]\n";
    } else {
        c.out << differ << " lines differ from " << path << " (" << machine.size()
              << " machine-wide, " << perUser.size() << " in each of " << read << " profiles)";
        if (refused)
            c.out << "; " << refused << " profiles could not be read";
        c.out << "\n";
    }
    return differ ? kDiffers : refused ? kSomeFailed : kDone;
}

int SetAllUsers(Console& c, const Changes& changes, bool dryRun) {
    std::vector<Profile> profiles;
    if (!ReadProfiles(c, &profiles))
        return kSomeFailed;
    Executor executor(Executor::StartAndWait);
    size_t failed = 0;
    auto group = [&](const std::string& heading, bool perUser) {
        c.out << heading << "\n";
        for (const auto& [row, on] : changes)
            if (PerUserRow(*row) == perUser)
                failed += SetTweak(c, executor, *row, on, {.dryRun = dryRun}) == SetResult::Failed;
    };
    group("Machine-wide", false);
    const size_t refused = Walk(
        profiles, [&](const Profile& p) { group(Heading(p), true); },
        [&](const Profile& p, const std::string& why) { SayRefused(c, p, why); });
    if (failed)
        c.Error() << failed << " tweaks had failures\n";
    return failed || refused ? kSomeFailed : kDone;
}
