#include "ctl/Kept.h"

#include "ctl/Text.h"

#include <windows.h>

#include <shlobj.h>

#include <algorithm>
#include <cstdio>

namespace {

std::string CommonAppData() {
    wchar_t folder[MAX_PATH];
    if (SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder) !=
        S_OK)
        return "C:\\ProgramData";
    return Utf8(folder);
}

std::wstring FullPath(const std::string& path) {
    const std::wstring wide = Wide(path);
    wchar_t full[MAX_PATH * 2];
    const DWORD n = GetFullPathNameW(wide.c_str(), MAX_PATH * 2, full, nullptr);
    return n && n < MAX_PATH * 2 ? std::wstring(full, n) : wide;
}

unsigned long long FileSize(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data))
        return 0;
    return (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

} // namespace

std::string DataFolder() {
    return CommonAppData() + "\\Morvane";
}

std::string KeptFolder() {
    return DataFolder() + "\\kept";
}

std::string KeptBackupFolder() {
    return DataFolder() + "\\backups";
}

std::string KeptLogPath() {
    return DataFolder() + "\\kept.log";
}

std::string KeptPresetName(const std::string& path) {
    const std::wstring full = FullPath(path);
    const std::wstring folder = FullPath(KeptFolder()) + L"\\";
    if (full.size() <= folder.size() ||
        CompareStringOrdinal(full.c_str(), static_cast<int>(folder.size()), folder.c_str(),
                             static_cast<int>(folder.size()), TRUE) != CSTR_EQUAL)
        return {};
    std::wstring name = full.substr(folder.size());
    constexpr std::wstring_view kExtension = L".preset";
    if (name.find(L'\\') != std::wstring::npos || name.size() <= kExtension.size() ||
        CompareStringOrdinal(name.c_str() + name.size() - kExtension.size(),
                             static_cast<int>(kExtension.size()), kExtension.data(),
                             static_cast<int>(kExtension.size()), TRUE) != CSTR_EQUAL)
        return {};
    return Utf8(name.substr(0, name.size() - kExtension.size()));
}

bool MakeFolders(const std::string& folder) {
    const std::wstring wide = FullPath(folder);
    for (size_t at = wide.find(L'\\', 3); at != std::wstring::npos; at = wide.find(L'\\', at + 1))
        CreateDirectoryW(wide.substr(0, at).c_str(), nullptr);
    return CreateDirectoryW(wide.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

std::string LocalStamp(const char* format) {
    SYSTEMTIME t;
    GetLocalTime(&t);
    char text[64];
    snprintf(text, sizeof(text), format, t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond,
             t.wMilliseconds);
    return text;
}

bool AppendKeptLog(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines)
        text += line + "\r\n";
    if (text.empty())
        return true;
    if (!MakeFolders(DataFolder()))
        return false;
    const std::wstring log = Wide(KeptLogPath());
    if (FileSize(log) + text.size() > kKeptLogLimit)
        MoveFileExW(log.c_str(), (log + L".1").c_str(), MOVEFILE_REPLACE_EXISTING);
    // Appends only: two runs writing at once each keep their lines whole.
    const HANDLE file =
        CreateFileW(log.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const bool ok =
        WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
        written == text.size();
    CloseHandle(file);
    return ok;
}

size_t PruneBackups(const std::string& folder, size_t keep) {
    const std::wstring wide = Wide(folder) + L"\\";
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    const HANDLE find = FindFirstFileW((wide + L"morvane-backup-*.reg").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE)
        return 0;
    do
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            names.push_back(found.cFileName);
    while (FindNextFileW(find, &found));
    FindClose(find);
    if (names.size() <= keep)
        return 0;
    std::sort(names.begin(), names.end());
    size_t removed = 0;
    for (size_t i = 0; i + keep < names.size(); ++i)
        removed += DeleteFileW((wide + names[i]).c_str()) != FALSE;
    return removed;
}
