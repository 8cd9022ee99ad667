#include "system/Actions.h"

#include "system/Registry.h"

std::string RunParameters(const Phrase& p, const std::string& systemFolder) {
    std::string parameters = p.text;
    if (p.systemFile)
        parameters += systemFolder + p.systemFile;
    return parameters;
}

ValueRead ReadOf(const Condition& c) {
    if (c.kind == Condition::StringEquals)
        return {.type = ValueRead::String, .search = kStringSearch};
    return {.type = ValueRead::Dword, .search = c.search, .missing = c.defaultValue};
}

bool Holds(const Condition& c) {
    if (c.kind == Condition::StringEquals)
        return ReadRegString(c.name, c.key) == c.text;
    const bool equal = ReadRegDword(c.key, c.name, c.defaultValue, c.search) == c.number;
    return equal == (c.kind == Condition::DwordEquals);
}

bool Holds(const Conditions& conditions) {
    for (const Condition& c : conditions)
        if (!Holds(c))
            return false;
    return true;
}
