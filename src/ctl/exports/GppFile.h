// A Group Policy preference file that export gpp updates: read as its root
// element and what lies directly inside it, so that morvanectl's own items
// are replaced and every other byte is kept. The file comes from outside:
// the reader takes only well-formed UTF-8 XML without a document type,
// never recurses, and says on which line it stopped.
#pragma once

#include <string>
#include <string_view>

// Every item export gpp writes has an id that starts so.
inline constexpr char kOwnGppUid[] = "{4D6F7276-616E-4";

// `existing` with morvanectl's items and notes replaced by those of `fresh`
// (a file that export gpp made), everything else kept as it was. The empty
// text, or why `existing` is not a preference file of fresh's kind
// ("line 3: cut short inside <Registry>").
std::string UpdateGppFile(std::string_view existing, std::string_view fresh, std::string* updated);
