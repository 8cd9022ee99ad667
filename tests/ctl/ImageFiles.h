// Offline images for the --image tests: a Windows installation's folder
// holding the three hive files, as RegSaveKey writes them under Wine, and
// the listings a load changes.
#pragma once

#include "ctl/HiveFiles.h"
#include "system/OfflineImage.h"

#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

// What a test's image holds: SYSTEM starts with ControlSet002 unless told.
struct ImageLayout {
    std::optional<DWORD> current = 2; // Select\Current; missing when empty
    bool complete = true;             // with SYSTEM and the Default profile
    std::vector<HiveValue> more[3];   // each hive's values beyond the usual ones
};

// An offline image's folder in the temporary folder, gone with it: SOFTWARE
// with Windows Script Host's Enabled = 0, SYSTEM with W32Time's Start = 3 in
// ControlSet001 and ControlSet002, the Default profile with Hidden = 1.
struct ImageTree {
    std::string dir;
    ImageTree() {
        char temp[MAX_PATH];
        GetTempPathA(sizeof(temp), temp);
        dir = std::string(temp) + "morvane-image-" + std::to_string(GetCurrentProcessId());
    }
    ~ImageTree() { Remove(); }
    std::string File(int n) const { return dir + "\\" + kImageHives[n].file; }
    void Make(const ImageLayout& layout) {
        Remove();
        for (const char* folder : {"", "\\Windows", "\\Windows\\System32",
                                   "\\Windows\\System32\\config", "\\Users", "\\Users\\Default"})
            CreateDirectoryA((dir + folder).c_str(), nullptr);
        std::vector<HiveValue> values[3] = {
            {{"Microsoft\\Windows Script Host\\Settings", "Enabled", 0}},
            {{"ControlSet001\\Services\\W32Time", "Start", 3},
             {"ControlSet002\\Services\\W32Time", "Start", 3}},
            {{"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced", "Hidden", 1}}};
        if (layout.current)
            values[1].push_back({"Select", "Current", *layout.current});
        for (int n = 0; n < (layout.complete ? 3 : 1); ++n) {
            values[n].insert(values[n].end(), layout.more[n].begin(), layout.more[n].end());
            MakeHiveFile(File(n), values[n]);
        }
    }
    void Remove() {
        for (int n = 0; n < 3; ++n) {
            SetFileAttributesA(File(n).c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileA(File(n).c_str());
        }
        for (const char* folder : {"\\Users\\Default", "\\Users", "\\Windows\\System32\\config",
                                   "\\Windows\\System32", "\\Windows", ""})
            RemoveDirectoryA((dir + folder).c_str());
    }
};

// Both listings a load changes.
inline std::pair<std::set<std::string>, std::set<std::string>> Listings() {
    return {KeysBelow(HKEY_USERS), KeysBelow(HKEY_LOCAL_MACHINE)};
}
