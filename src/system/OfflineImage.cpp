#include "system/OfflineImage.h"

#include "system/ErrorText.h"
#include "system/Mounts.h"
#include "system/Redirection.h"
#include "system/WideNames.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

namespace {

// root\relative, as given and as the wide functions take it.
template <class Text> Text Below(const Text& root, const char* relative) {
    const bool slash = !root.empty() && (root.back() == '\\' || root.back() == '/');
    return root + (slash ? Text() : Text(1, '\\')) + Text(relative, relative + strlen(relative));
}

// The folder's identity: its volume and its number on it.
bool FolderId(const std::wstring& path, BY_HANDLE_FILE_INFORMATION* id) {
    const HANDLE folder = CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (folder == INVALID_HANDLE_VALUE)
        return false;
    const bool known = GetFileInformationByHandle(folder, id) != FALSE;
    CloseHandle(folder);
    return known;
}

// Whether root\Windows is %SystemRoot%, however either is spelt.
bool RunningSystem(const std::wstring& root) {
    wchar_t system[MAX_PATH];
    const UINT length = GetSystemWindowsDirectoryW(system, MAX_PATH);
    BY_HANDLE_FILE_INFORMATION image, running;
    return length && length < MAX_PATH && FolderId(Below(root, "Windows"), &image) &&
           FolderId(system, &running) &&
           image.dwVolumeSerialNumber == running.dwVolumeSerialNumber &&
           image.nFileIndexHigh == running.nFileIndexHigh &&
           image.nFileIndexLow == running.nFileIndexLow;
}

// The image's files that are not there, named; empty when all are.
std::string MissingFiles(const std::wstring& root) {
    std::string missing;
    for (const ImageHive& hive : kImageHives) {
        const DWORD attributes = GetFileAttributesW(Below(root, hive.file).c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY))
            missing += (missing.empty() ? "" : ", ") + std::string(hive.file);
    }
    return missing;
}

// A hive file that a load will write to: one mounted read-only, in use or
// of another kind is refused before anything is loaded.
bool WritableHive(const std::string& path, const std::wstring& wide, std::string* error) {
    const HANDLE file = CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD code = GetLastError();
        *error = "cannot open " + path + " for writing: " + ErrorText(code) +
                 (code == ERROR_SHARING_VIOLATION ? "; it is in use" : "");
        return false;
    }
    const bool hive = BeginsAsHive(file);
    CloseHandle(file);
    if (!hive)
        *error = path + " is not a registry hive file";
    return hive;
}

// False, saying why, for a folder that is no offline image to change.
bool CheckFolder(const std::string& dir, const std::wstring& root, std::string* error) {
    const DWORD attributes = GetFileAttributesW(root.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        *error = "cannot find the image folder " + dir + ": " +
                 (attributes == INVALID_FILE_ATTRIBUTES ? ErrorText(GetLastError())
                                                        : std::string("it is a file"));
        return false;
    }
    if (RunningSystem(root)) {
        *error = dir + ": that is the running system; leave out --image";
        return false;
    }
    if (const std::string missing = MissingFiles(root); !missing.empty()) {
        *error = dir + " is not a Windows image: it holds no " + missing;
        return false;
    }
    for (const ImageHive& hive : kImageHives)
        if (!WritableHive(Below(dir, hive.file), Below(root, hive.file), error))
            return false;
    return true;
}

} // namespace

OfflineImage::~OfflineImage() {
    std::string ignored;
    Close(&ignored);
}

bool OfflineImage::Load(const std::string& dir, const std::wstring& root, std::string* error) {
    Redirection& redirection = Redirection::Process();
    if (!redirection.EnablePrivileges(this)) {
        *error = "loading the image's hives needs the backup and restore privileges: run as an "
                 "administrator";
        return false;
    }
    UnloadStaleMounts();
    for (const ImageHive& hive : kImageHives) {
        const LSTATUS status =
            redirection.Load(this, hive.perUser ? HKEY_USERS : HKEY_LOCAL_MACHINE,
                             ImageMountName(hive.part), Below(root, hive.file));
        if (status != ERROR_SUCCESS) {
            *error = "cannot load " + Below(dir, hive.file) + ": " +
                     ErrorText(static_cast<DWORD>(status));
            return false;
        }
    }
    return true;
}

namespace {

// The number of the control set that SYSTEM\Select\Current names, 0 when it
// names none that the SYSTEM holds. Opened as themselves: a link there would
// lead out of the image.
unsigned CurrentControlSet(const std::string& system, std::string* why) {
    HKEY select;
    DWORD current = 0, type = REG_NONE, size = sizeof(current);
    LSTATUS status = RegOpenKeyExA(HKEY_LOCAL_MACHINE, (system + "\\Select").c_str(),
                                   REG_OPTION_OPEN_LINK, KEY_QUERY_VALUE, &select);
    if (status == ERROR_SUCCESS) {
        status = RegQueryValueExA(select, "Current", nullptr, &type,
                                  reinterpret_cast<BYTE*>(&current), &size);
        RegCloseKey(select);
    }
    if (status != ERROR_SUCCESS || type != REG_DWORD || size != sizeof(current) || !current ||
        current > 999) {
        *why = "no valid Select\\Current (" +
               (status != ERROR_SUCCESS ? ErrorText(static_cast<DWORD>(status))
                                        : std::string("not the number of a control set")) +
               ")";
        return 0;
    }
    char set[16];
    snprintf(set, sizeof(set), "ControlSet%03lu", current);
    HKEY controlSet;
    status = RegOpenKeyExA(HKEY_LOCAL_MACHINE, (system + "\\" + set).c_str(), REG_OPTION_OPEN_LINK,
                           KEY_QUERY_VALUE, &controlSet);
    if (status != ERROR_SUCCESS) {
        *why = "no " + std::string(set) + ", which its Select\\Current names";
        return 0;
    }
    RegCloseKey(controlSet);
    return current;
}

} // namespace

bool OfflineImage::UseControlSet(const std::string& file, std::string* error) {
    const std::string system = ImageMountName(kImageHives[1].part);
    std::string why;
    const unsigned current = CurrentControlSet(system, &why);
    if (!current) {
        *error = file + " holds " + why;
        return false;
    }
    Redirection::Process().MapImage(this, {ImageMountName(kImageHives[0].part), system, current});
    return true;
}

bool OfflineImage::UseDefaultProfile(std::string* error) {
    const std::string mount = ImageMountName(kImageHives[2].part);
    HKEY target;
    LSTATUS status = RegOpenKeyExA(HKEY_USERS, mount.c_str(), 0, MAXIMUM_ALLOWED, &target);
    if (status == ERROR_SUCCESS)
        status = Redirection::Process().RedirectUser(this, target);
    if (status != ERROR_SUCCESS) {
        *error = "cannot open the image's Default profile once loaded: " +
                 ErrorText(static_cast<DWORD>(status));
        return false;
    }
    Redirection::Process().NameUser(this, kImageUserRoot, "HKEY_USERS\\" + mount);
    return true;
}

bool OfflineImage::Open(const std::string& dir, std::string* error) {
    std::wstring root;
    if (!WideName(dir, &root) || root.empty()) {
        *error = "cannot find the image folder " + dir + ": not a valid name (not UTF-8)";
        return false;
    }
    if (!Redirection::Process().Claim(this, error))
        return false;
    const bool opened = CheckFolder(dir, root, error) && Load(dir, root, error) &&
                        UseControlSet(Below(dir, kImageHives[1].file), error) &&
                        UseDefaultProfile(error);
    if (!opened) {
        std::string ignored;
        Close(&ignored);
    }
    return opened;
}

bool OfflineImage::Close(std::string* error) {
    return Redirection::Process().Release(this, error);
}

bool OfflineImageOpen() {
    return Redirection::Process().Image() != nullptr;
}
