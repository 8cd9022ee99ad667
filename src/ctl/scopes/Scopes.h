// Where a command reads and writes. A run on one profile has one scope: the
// caller's own, or the one --user or --hive opened for the whole command.
// --all-users makes the list instead: the machine-wide part once, then each
// profile of the machine, opened in turn. Every command that reads or sets
// tweaks is written once over that list.
#pragma once

#include "ctl/output/Console.h"
#include "ctl/scopes/ProfileWalk.h"
#include "system/Profiles.h"
#include "tweaks/Tweaks.h"

#include <string>
#include <vector>

// A row that reads or writes anything of the user's own: under
// HKEY_CURRENT_USER, or in the store.
bool PerUserRow(const TweakRow& row);

struct Scope {
    enum Kind { Whole, Machine, User } kind = Whole;
    const Profile* profile = nullptr; // a User scope's

    // Whether the scope reads and writes this row: a Whole one every row.
    bool Covers(const TweakRow& row) const {
        return kind == Whole || PerUserRow(row) == (kind == User);
    }
    // "Machine-wide" or "Profile alice"; a Whole scope has none.
    std::string Heading() const;
};

class Scopes {
public:
    // One scope, or with allUsers the machine and every profile; false (and
    // said why) when the profile list cannot be read.
    bool Make(Console& c, bool allUsers);
    bool Many() const { return m_many; }
    const std::vector<Profile>& Profiles() const { return m_profiles; }

    // Runs `visit` for each scope, opened, and `refused` for a profile that
    // could not be opened or closed again; `skip` as for Walk. Returns how
    // many were refused.
    template <class Visit, class Refused, class Skip = decltype(&OpenEvery)>
    size_t Each(Visit&& visit, Refused&& refused, Skip&& skip = OpenEvery) const {
        if (!m_many) {
            visit(Scope{});
            return 0;
        }
        visit(Scope{Scope::Machine});
        return Walk(
            m_profiles,
            [&](const Profile& p) {
                visit(Scope{Scope::User, &p});
            },
            [&](const Profile& p, const std::string& why) {
                refused(Scope{Scope::User, &p}, why);
            },
            skip);
    }

private:
    bool m_many = false;
    std::vector<Profile> m_profiles;
};
