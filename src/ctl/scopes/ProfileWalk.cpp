#include "ctl/scopes/ProfileWalk.h"

#include "ctl/formats/Files.h"
#include "ctl/scopes/Whose.h"
#include "system/UserHive.h"

void SayMountsLeftAlone(Console& c) {
    for (const std::string& name : MountsOfNoRun())
        c.Error() << "HKEY_USERS\\" << name
                  << " is loaded, and its name tells no run of morvanectl: left alone\n";
}

bool ReadProfiles(Console& c, std::vector<Profile>* profiles) {
    std::string error;
    SayMountsLeftAlone(c);
    std::vector<SkippedEntry> skipped;
    if (!MachineProfiles(profiles, &skipped, &error)) {
        c.Error() << error << "\n";
        return false;
    }
    for (const SkippedEntry& s : skipped)
        c.Error() << "the profile list's entry " << s.key << " is skipped: " << s.why << "\n";
    return true;
}

bool OpenProfile(UserHive& hive, const Profile& p, int n, const std::string& own,
                 std::string* error) {
    if (!p.sid.empty() && p.sid == own) {
        hive.OpenOwn(p.sid);
        return true;
    }
    const bool loaded = ProfileLoaded(p.sid);
    if (!loaded && p.file.empty()) {
        *error = "the profile list names no folder for it";
        return false;
    }
    // Else it would be looked for in whatever folder the run started in.
    if (!loaded && !AbsolutePath(p.file)) {
        *error = "its profile file " + p.file + " is not an absolute path";
        return false;
    }
    if (loaded ? !hive.OpenUser(p.sid, error) : !hive.OpenFile(p.file, error, ProfileMount(n)))
        return false;
    *error = LinkRefusal();
    return error->empty();
}

std::string Heading(const Profile& p) {
    return "Profile " + p.name;
}

void SayRefused(Console& c, const Profile& p, const std::string& why) {
    c.out << Heading(p) << "\n  cannot be read: " << why << "\n";
    c.Error() << p.name << ": " << why << "\n";
}

bool SignedIn(const Profile& p, const std::string& own) {
    return !p.sid.empty() && (p.sid == own || ProfileLoaded(p.sid));
}
