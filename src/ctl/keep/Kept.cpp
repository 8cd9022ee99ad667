#include "ctl/keep/Kept.h"

#include "ctl/output/Text.h"
#include "ctl/keep/Trust.h"
#include "system/ErrorText.h"

#include <sddl.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <iterator>

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

SECURITY_ATTRIBUTES* DataSecurity() {
    static SECURITY_ATTRIBUTES security{sizeof(security), nullptr, FALSE};
    if (!security.lpSecurityDescriptor &&
        !ConvertStringSecurityDescriptorToSecurityDescriptorW(
            L"O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)", SDDL_REVISION_1,
            &security.lpSecurityDescriptor, nullptr))
        return nullptr;
    return &security;
}

std::string DataPathProblem(const std::string& path) {
    const std::wstring full = FullPath(path), root = FullPath(DataFolder());
    if (full.size() < root.size() || (full.size() > root.size() && full[root.size()] != L'\\') ||
        CompareStringOrdinal(full.c_str(), static_cast<int>(root.size()), root.c_str(),
                             static_cast<int>(root.size()), TRUE) != CSTR_EQUAL)
        return path + " is outside " + DataFolder();
    for (size_t end = root.size();; end = std::min(full.find(L'\\', end + 1), full.size())) {
        const std::wstring part = full.substr(0, end);
        if (GetFileAttributesW(part.c_str()) == INVALID_FILE_ATTRIBUTES &&
            (GetLastError() == ERROR_FILE_NOT_FOUND || GetLastError() == ERROR_PATH_NOT_FOUND))
            break;
        if (const std::string why = Distrust(part, true); !why.empty())
            return Utf8(part) + " " + why;
        if (end == full.size())
            break;
    }
    return {};
}

std::string MakeDataFolder(const std::string& folder) {
    // The data folder is checked before anything is made inside it.
    for (const std::string& made : {DataFolder(), folder}) {
        if (!CreateDirectoryW(FullPath(made).c_str(), DataSecurity()) &&
            GetLastError() != ERROR_ALREADY_EXISTS)
            return "cannot make the folder " + made + ": " + ErrorText(GetLastError());
        if (const std::string why = DataPathProblem(made); !why.empty())
            return why;
    }
    return {};
}

std::string KeptRunProblem(const std::string& path) {
    if (KeptPresetName(path).empty())
        return {};
    for (const std::string& used : {path, KeptBackupFolder(), KeptLogPath(), KeptLogPath() + ".1"})
        if (const std::string why = DataPathProblem(used); !why.empty())
            return why;
    return {};
}

std::string LocalStamp(const char* format) {
    SYSTEMTIME t;
    GetLocalTime(&t);
    char text[64];
    snprintf(text, sizeof(text), format, t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond,
             t.wMilliseconds);
    return text;
}

std::string AppendKeptLog(const std::vector<KeptLogLine>& lines) {
    std::string text;
    for (const KeptLogLine& line : lines)
        for (size_t i = 0; i < line.size(); ++i)
            text += Escaped(line[i]) + (i + 1 < line.size() ? "\t" : "\r\n");
    if (text.empty())
        return {};
    for (const std::string& problem : {MakeDataFolder(DataFolder()), DataPathProblem(KeptLogPath()),
                                       DataPathProblem(KeptLogPath() + ".1")})
        if (!problem.empty())
            return problem;
    const std::wstring log = Wide(KeptLogPath());
    if (FileSize(log) + text.size() > kKeptLogLimit)
        MoveFileExW(log.c_str(), (log + L".1").c_str(), MOVEFILE_REPLACE_EXISTING);
    // Appends only: two runs writing at once each keep their lines whole.
    const HANDLE file =
        CreateFileW(log.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    DataSecurity(), OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return "cannot write " + KeptLogPath() + ": " + ErrorText(GetLastError());
    DWORD written = 0;
    const bool ok =
        WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
        written == text.size();
    const DWORD error = GetLastError();
    CloseHandle(file);
    return ok ? std::string() : "cannot write " + KeptLogPath() + ": " + ErrorText(error);
}

namespace {

// For a name of exactly the form backups get,
// morvane-backup-YYYYMMDD-HHMMSS-mmm[-N].reg: the name up to its time, then
// its number in four digits (0001 for none), as text that sorts as the
// backups were taken; empty for any other name.
constexpr wchar_t kBackupForm[] = L"morvane-backup-########-######-###";
constexpr size_t kOrderLength = std::size(kBackupForm) - 1 + 4;

std::wstring BackupOrder(const wchar_t* name) {
    const auto digit = [](wchar_t c) { return c >= L'0' && c <= L'9'; };
    size_t at = 0;
    for (; kBackupForm[at]; ++at)
        if (kBackupForm[at] == L'#' ? !digit(name[at]) : name[at] != kBackupForm[at])
            return {};
    // "-N" from 2 on, as WriteNewNumberedFile counts them.
    unsigned number = 1;
    const wchar_t* end = name + at;
    if (*end == L'-' && end[1] != L'0')
        for (number = 0; digit(*++end) && number < 10000;)
            number = number * 10 + (*end - L'0');
    if ((number < 2 && end != name + at) || number > 9999 || wcscmp(end, L".reg") != 0)
        return {};
    std::wstring order(name, at);
    for (unsigned place = 1000; place; place /= 10)
        order += static_cast<wchar_t>(L'0' + number / place % 10);
    return order;
}

} // namespace

size_t PruneBackups(const std::string& folder, size_t keep, const std::string& written) {
    const std::wstring wide = Wide(folder) + L"\\";
    const std::wstring own = Wide(written.substr(written.find_last_of("\\/") + 1));
    // Each as its order followed by its name.
    std::vector<std::wstring> older;
    WIN32_FIND_DATAW found;
    const HANDLE find = FindFirstFileW((wide + L"morvane-backup-*.reg").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE)
        return 0;
    do {
        const std::wstring order = BackupOrder(found.cFileName);
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && found.cFileName != own &&
            !order.empty())
            older.push_back(order + found.cFileName);
    } while (FindNextFileW(find, &found));
    FindClose(find);
    // The one this run wrote is one of the `keep`.
    const size_t others = keep ? keep - 1 : 0;
    if (older.size() <= others)
        return 0;
    std::sort(older.begin(), older.end());
    size_t removed = 0;
    for (size_t i = 0; i + others < older.size(); ++i)
        removed += DeleteFileW((wide + older[i].substr(kOrderLength)).c_str()) != FALSE;
    return removed;
}
