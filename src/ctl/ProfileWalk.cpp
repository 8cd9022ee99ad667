#include "ctl/ProfileWalk.h"

#include "system/UserHive.h"

bool ReadProfiles(Console& c, std::vector<Profile>* profiles) {
    UnloadStaleMounts();
    std::string error;
    if (MachineProfiles(profiles, &error))
        return true;
    c.Error() << error << "\n";
    return false;
}

namespace {

bool OpenProfile(UserHive& hive, const Profile& p, int n, const std::string& own,
                 std::string* error) {
    if (!p.sid.empty() && p.sid == own) {
        hive.OpenOwn(p.sid);
        return true;
    }
    if (ProfileLoaded(p.sid))
        return hive.OpenUser(p.sid, error);
    if (p.file.empty()) {
        *error = "the profile list names no folder for it";
        return false;
    }
    return hive.OpenFile(p.file, error, ProfileMount(n));
}

} // namespace

size_t Walk(const std::vector<Profile>& profiles, const std::function<void(const Profile&)>& visit,
            const std::function<void(const Profile&, const std::string&)>& refused) {
    const std::string own = OwnSid();
    size_t failed = 0;
    int n = 0;
    for (const Profile& p : profiles) {
        UserHive hive;
        std::string error;
        if (!OpenProfile(hive, p, ++n, own, &error)) {
            ++failed;
            refused(p, error);
            continue;
        }
        visit(p);
        if (!hive.Close(&error)) {
            ++failed;
            refused(p, error);
        }
    }
    return failed;
}

std::string Heading(const Profile& p) {
    return "Profile " + p.name;
}

void SayRefused(Console& c, const Profile& p, const std::string& why) {
    c.out << Heading(p) << "\n  cannot be read: " << why << "\n";
    c.Error() << p.name << ": " << why << "\n";
}
