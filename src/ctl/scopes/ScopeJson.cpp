#include "ctl/scopes/ScopeJson.h"

#include "ctl/output/Words.h"

namespace {

// The opening of a scope's object, up to its lines.
std::string Opening(const Scope& s) {
    const Profile* p = s.profile;
    if (!p)
        return "  {\"scope\": \"machine\", \"profile\": null, \"sid\": null";
    return std::string("  {\"scope\": ") + (p->sid.empty() ? "\"default\"" : "\"user\"") +
           ", \"profile\": " + JsonText(p->name) +
           ", \"sid\": " + (p->sid.empty() ? std::string("null") : JsonText(p->sid));
}

} // namespace

void ScopeJson::Begin(const Scope& s) {
    if (!m_many)
        return;
    m_c.out << m_separator << Opening(s) << ", \"lines\": [";
    m_inner = "\n";
}

void ScopeJson::Item(const std::string& object) {
    if (m_many) {
        m_c.out << m_inner << "    " << object;
        m_inner = ",\n";
    } else {
        m_c.out << m_separator << "  " << object;
        m_separator = ",\n";
    }
}

void ScopeJson::End() {
    if (!m_many)
        return;
    m_c.out << (*m_inner == '\n' ? "]}" : "\n  ]}");
    m_separator = ",\n";
}

void ScopeJson::Refused(const Scope& s, const std::string& why) {
    m_c.out << m_separator << Opening(s) << ", \"error\": " << JsonText(why) << "}";
    m_separator = ",\n";
    m_c.Error() << s.profile->name << ": " << why << "\n";
}
