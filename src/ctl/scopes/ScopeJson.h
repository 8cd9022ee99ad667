// A command's JSON over its scopes: one scope's items as the array itself,
// or, over many, an object a scope with its items as "lines" (and the
// "error" of a profile that could not be read).
#pragma once

#include "ctl/output/Console.h"
#include "ctl/scopes/Scopes.h"

#include <optional>
#include <string>

class ScopeJson {
public:
    ScopeJson(Console& c, bool many) : m_c(c), m_many(many) { m_c.out << "["; }
    void Begin(const Scope& s);
    void Item(const std::string& object);
    void End();
    void Refused(const Scope& s, const std::string& why);
    void Finish() { m_c.out << "\n]\n"; }

private:
    Console& m_c;
    bool m_many;
    const char* m_separator = "\n";
    const char* m_inner = "\n";
};

// Runs visit(scope, json) over every scope, json null unless asked for; a
// profile that could not be opened is said in the JSON or as text. Returns
// how many were refused.
template <class Visit>
size_t EachReported(Console& c, const Scopes& scopes, bool asJson, Visit&& visit) {
    std::optional<ScopeJson> json;
    if (asJson)
        json.emplace(c, scopes.Many());
    ScopeJson* j = json ? &*json : nullptr;
    const size_t refused = scopes.Each([&](const Scope& s) { visit(s, j); },
                                       [&](const Scope& s, const std::string& why) {
                                           j ? j->Refused(s, why) : SayRefused(c, *s.profile, why);
                                       });
    if (j)
        j->Finish();
    return refused;
}
