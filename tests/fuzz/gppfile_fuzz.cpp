// Fuzz target for the reader of a GPO's preference files that export gpp
// updates. Any input is taken as the GPO's Registry.xml and updated with the
// items and note of an export, and with those of an export of nothing. What
// must hold: a refusal says why; an update is accepted again and changes
// nothing when made again; morvanectl's part replaced with nothing and then
// with the export is the same as replaced with the export at once.
#include "ctl/exports/GppFile.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

void Check(bool ok, const char* what) {
    if (!ok) {
        fprintf(stderr, "preference file reader property broken: %s\n", what);
        abort();
    }
}

std::string Export(const std::string& inside) {
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<RegistrySettings "
           "clsid=\"{A3CCFC41-DFDB-43a5-8D26-0FE8B954DA51}\">\r\n" +
           inside + "</RegistrySettings>\r\n";
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string fresh =
        Export("\t<!-- morvanectl: not expressible in Group Policy Preferences: a run -->\r\n"
               "\t<Registry clsid=\"{9CD4B2F4-923D-47f5-A062-E897DD1DAD50}\" name=\"Hidden\" "
               "image=\"2\" changed=\"2024-01-01 00:00:00\" uid=\"" +
               std::string(kOwnGppUid) +
               "1A2-8B3C-4D5E6F708192}\"><Properties action=\"U\" hive=\"HKEY_CURRENT_USER\" "
               "key=\"Software\\Quelt\" name=\"Hidden\" type=\"REG_DWORD\" value=\"00000001\"/>"
               "</Registry>\r\n");
    static const std::string nothing = Export("");
    const std::string_view existing(reinterpret_cast<const char*>(data), size);

    std::string updated, again, emptied, refilled;
    const std::string why = UpdateGppFile(existing, fresh, &updated);
    Check(UpdateGppFile(existing, nothing, &emptied) == why, "the same refusal for any export");
    if (!why.empty())
        return 0;
    Check(UpdateGppFile(updated, fresh, &again).empty(), "an update is accepted again");
    Check(again == updated, "updating again changes nothing");
    Check(UpdateGppFile(emptied, fresh, &refilled).empty(), "an emptied file is accepted");
    Check(refilled == updated, "emptied, then updated, is updated at once");
    return 0;
}
