#include "ctl/formats/PathNames.h"

bool NamesDevice(const std::string& path) {
    std::string name = path.substr(path.find_last_of("\\/:") + 1);
    name = name.substr(0, name.find('.'));
    while (!name.empty() && name.back() == ' ')
        name.pop_back();
    for (char& c : name)
        c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    for (const char* device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"})
        if (name == device)
            return true;
    // COM1 to COM9 and LPT1 to LPT9, also with a superscript 1, 2 or 3.
    const std::string number = name.size() > 3 ? name.substr(3) : "";
    return (name.starts_with("COM") || name.starts_with("LPT")) &&
           ((number.size() == 1 && number[0] >= '1' && number[0] <= '9') || number == "\xC2\xB9" ||
            number == "\xC2\xB2" || number == "\xC2\xB3");
}

bool AbsolutePath(const std::string& path) {
    const bool drive = path.size() >= 3 &&
                       ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
    return (drive && path[1] == ':' && (path[2] == '\\' || path[2] == '/')) ||
           path.starts_with("\\\\");
}
