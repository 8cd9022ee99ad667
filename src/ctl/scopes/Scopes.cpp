#include "ctl/scopes/Scopes.h"

#include "system/Actions.h"

namespace {

bool ReadsPerUser(const Condition& condition) {
    return !condition.key || ReadOf(condition).Roots().front() == HKCU;
}

} // namespace

bool PerUserRow(const TweakRow& row) {
    for (const Condition& condition : row.checkedWhen)
        if (ReadsPerUser(condition))
            return true;
    return WritesPerUser(row, true) || WritesPerUser(row, false);
}

std::string Scope::Heading() const {
    return kind == Machine ? "Machine-wide" : profile ? ::Heading(*profile) : std::string();
}

bool Scopes::Make(Console& c, bool allUsers) {
    m_many = allUsers;
    return !allUsers || ReadProfiles(c, &m_profiles);
}
