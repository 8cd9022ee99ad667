// A command's JSON over its scopes: one scope's items as the array itself,
// or, over many, an object a scope with its items as "lines" (and the
// "error" of a profile that could not be read).
#pragma once

#include "ctl/output/Console.h"
#include "ctl/scopes/Scopes.h"

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
