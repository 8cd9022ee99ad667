// An export's files all or none: each written whole to a new temporary
// beside its place, then all renamed into place; a failure anywhere takes
// back what was done, the files that were replaced included.
#include "ctl/ExportFormats.h"

#include "ctl/Files.h"
#include "ctl/Text.h"

#include <windows.h>

namespace {

struct Placing {
    std::string path;       // UTF-8, for messages and the temporaries' writer
    std::wstring wide;      // the place
    std::wstring temporary; // the new file until it is renamed into place
    std::wstring previous;  // the replaced file, kept aside until all are in place
};

bool IsFolder(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Makes the folders above `path` that are missing, outermost first, each
// listed in *made.
DWORD MakeParents(const std::wstring& path, std::vector<std::wstring>* made) {
    std::vector<std::wstring> missing;
    for (size_t at = path.rfind(L'\\'); at != std::wstring::npos && at > 0;
         at = path.rfind(L'\\', at - 1)) {
        const std::wstring folder = path.substr(0, at);
        if (IsFolder(folder))
            break;
        if (GetFileAttributesW(folder.c_str()) != INVALID_FILE_ATTRIBUTES)
            return ERROR_DIRECTORY; // a file where a folder must be
        missing.push_back(folder);
    }
    for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
        if (!CreateDirectoryW(it->c_str(), nullptr))
            return GetLastError();
        made->push_back(*it);
    }
    return ERROR_SUCCESS;
}

// A name beside `path` that nothing holds, made by `take` (which fails
// with ERROR_FILE_EXISTS or ERROR_ALREADY_EXISTS while the name is taken).
template <typename Take>
DWORD TakeName(const std::wstring& path, const wchar_t* suffix, std::wstring* name, Take take) {
    DWORD status = ERROR_FILE_EXISTS;
    for (int n = 1; n < 100 && (status == ERROR_FILE_EXISTS || status == ERROR_ALREADY_EXISTS);
         ++n) {
        *name = path + suffix + (n > 1 ? std::to_wstring(n) : std::wstring());
        status = take(*name);
    }
    return status;
}

DWORD Written(const ExportFile& file, bool replace, std::vector<std::wstring>* made, Placing* p) {
    p->path = file.path;
    Utf16String wide;
    if (!WideFromUtf8(file.path, &wide))
        return ERROR_INVALID_NAME;
    p->wide = wide;
    if (!replace && GetFileAttributesW(p->wide.c_str()) != INVALID_FILE_ATTRIBUTES)
        return ERROR_FILE_EXISTS;
    if (const DWORD status = MakeParents(p->wide, made); status != ERROR_SUCCESS)
        return status;
    return TakeName(p->wide, L".new", &p->temporary,
                    [&](const std::wstring& name) { return WriteNewFile(Utf8(name), file.bytes); });
}

DWORD Move(const std::wstring& from, const std::wstring& to) {
    return MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH) ? ERROR_SUCCESS
                                                                         : GetLastError();
}

// The new file into its place, the one it replaces kept aside; on failure
// the place is as it was.
DWORD PutInPlace(Placing* p) {
    if (GetFileAttributesW(p->wide.c_str()) != INVALID_FILE_ATTRIBUTES) {
        const DWORD status =
            TakeName(p->wide, L".old", &p->previous,
                     [&](const std::wstring& name) { return Move(p->wide, name); });
        if (status != ERROR_SUCCESS)
            return status;
    }
    const DWORD status = Move(p->temporary, p->wide);
    if (status == ERROR_SUCCESS)
        p->temporary.clear();
    else if (!p->previous.empty() && Move(p->previous, p->wide) == ERROR_SUCCESS)
        p->previous.clear();
    return status;
}

} // namespace

DWORD WriteExportFiles(const std::vector<ExportFile>& files, bool replace, std::string* failed) {
    std::vector<Placing> placings(files.size());
    std::vector<std::wstring> made;
    DWORD status = ERROR_SUCCESS;
    for (size_t i = 0; status == ERROR_SUCCESS && i < files.size(); ++i)
        if ((status = Written(files[i], replace, &made, &placings[i])) != ERROR_SUCCESS)
            *failed = files[i].path;
    size_t placed = 0; // those in place
    while (status == ERROR_SUCCESS && placed < placings.size())
        if ((status = PutInPlace(&placings[placed])) == ERROR_SUCCESS)
            ++placed;
        else
            *failed = placings[placed].path;
    for (size_t i = 0; i < placings.size(); ++i) {
        Placing& p = placings[i];
        if (status != ERROR_SUCCESS && i < placed) {
            DeleteFileW(p.wide.c_str());
            if (!p.previous.empty() && Move(p.previous, p.wide) == ERROR_SUCCESS)
                p.previous.clear();
        }
        if (!p.temporary.empty())
            DeleteFileW(p.temporary.c_str());
        // A replaced file goes once all are in place; one that could not be
        // put back stays beside its place rather than be lost.
        if (status == ERROR_SUCCESS && !p.previous.empty())
            DeleteFileW(p.previous.c_str());
    }
    if (status != ERROR_SUCCESS)
        for (auto it = made.rbegin(); it != made.rend(); ++it)
            RemoveDirectoryW(it->c_str());
    return status;
}
