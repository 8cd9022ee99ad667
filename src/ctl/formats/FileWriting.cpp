#include "ctl/formats/FileWriting.h"

#include "ctl/formats/PathNames.h"
#include "ctl/output/Text.h"
#include "system/ErrorText.h"

#include <atomic>

namespace {

bool Exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Unique to this process and this call: another run, or another file of
// this one, never picks the same name. Short whatever the file's name is,
// so that a name as long as a folder allows can still be written.
std::wstring TemporaryBeside(const std::wstring& path) {
    static std::atomic<unsigned> counter{0};
    return path.substr(0, path.find_last_of(L"\\/:") + 1) + L"~mv" +
           std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++counter) + L".tmp";
}

// Why the file cannot take the bytes, before anything is written: a folder,
// a device or a read-only file is never replaced, whatever `replace` says.
DWORD Refusal(const FileToWrite& file, const std::wstring& target, bool replace) {
    if (NamesDevice(file.path))
        return ERROR_BAD_DEVICE;
    const DWORD attributes = GetFileAttributesW(target.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return ERROR_SUCCESS;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return ERROR_DIRECTORY;
    if (attributes & FILE_ATTRIBUTE_READONLY)
        return ERROR_FILE_READ_ONLY;
    return replace ? ERROR_SUCCESS : ERROR_FILE_EXISTS;
}

DWORD WriteNew(const std::wstring& path, const FileToWrite& of) {
    const std::string& bytes = of.bytes;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, of.security, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return GetLastError();
    DWORD written = 0, status = ERROR_SUCCESS;
    if (!WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
        written != bytes.size() || !FlushFileBuffers(file))
        status = GetLastError() ? GetLastError() : ERROR_WRITE_FAULT;
    CloseHandle(file);
    if (status != ERROR_SUCCESS)
        DeleteFileW(path.c_str());
    return status;
}

// One file on its way: where it goes, the temporary that holds its bytes,
// and the earlier file kept aside while it may still have to come back.
struct Placement {
    std::wstring target, temporary, kept;
    bool placed = false;
};

class Writing {
public:
    ~Writing() {
        if (!done_)
            Undo();
    }
    DWORD Prepare(const std::vector<FileToWrite>& files, bool replace, std::string* failed);
    DWORD Place(const std::vector<FileToWrite>& files, bool replace, std::string* failed);
    void Finish();

private:
    DWORD MakeParents(const std::wstring& path);
    DWORD PlaceOne(Placement& p, bool replace);
    void Undo();

    std::vector<Placement> placements_;
    std::vector<std::wstring> madeFolders_; // outermost first
    bool done_ = false;
};

// Each folder above `path` that is missing, made from the outside in.
DWORD Writing::MakeParents(const std::wstring& path) {
    std::vector<std::wstring> missing;
    for (size_t end = path.find_last_of(L"\\/"); end != std::wstring::npos && end > 0;
         end = path.find_last_of(L"\\/", end - 1)) {
        const std::wstring folder = path.substr(0, end);
        if (folder.back() == L':' || Exists(folder))
            break;
        missing.push_back(folder);
    }
    for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
        if (!CreateDirectoryW(it->c_str(), nullptr))
            return GetLastError();
        madeFolders_.push_back(*it);
    }
    return ERROR_SUCCESS;
}

// Checks every name, makes the folders and writes every temporary; nothing
// is in place yet.
DWORD Writing::Prepare(const std::vector<FileToWrite>& files, bool replace, std::string* failed) {
    for (const FileToWrite& file : files) {
        Placement p;
        if (!WideFromUtf8(file.path, &p.target) || p.target.empty()) {
            *failed = file.path;
            return ERROR_INVALID_NAME;
        }
        if (const DWORD refusal = Refusal(file, p.target, replace); refusal != ERROR_SUCCESS) {
            *failed = file.path;
            return refusal;
        }
        placements_.push_back(p);
    }
    for (size_t i = 0; i < files.size(); ++i) {
        Placement& p = placements_[i];
        DWORD status = MakeParents(p.target);
        for (int tries = 0; status == ERROR_SUCCESS && p.temporary.empty() && tries < 100;
             ++tries) {
            const std::wstring temporary = TemporaryBeside(p.target);
            status = WriteNew(temporary, files[i]);
            if (status == ERROR_SUCCESS)
                p.temporary = temporary;
            else if (status == ERROR_FILE_EXISTS || status == ERROR_ALREADY_EXISTS)
                status = ERROR_SUCCESS;
        }
        if (status == ERROR_SUCCESS && p.temporary.empty())
            status = ERROR_FILE_EXISTS;
        if (status != ERROR_SUCCESS) {
            *failed = files[i].path;
            return status;
        }
    }
    return ERROR_SUCCESS;
}

// A file that exists is kept aside under a temporary name until all are in
// place, so that it can come back.
DWORD Writing::PlaceOne(Placement& p, bool replace) {
    constexpr DWORD kMove = MOVEFILE_WRITE_THROUGH;
    if (replace && Exists(p.target)) {
        const std::wstring kept = TemporaryBeside(p.target);
        if (!MoveFileExW(p.target.c_str(), kept.c_str(), kMove))
            return GetLastError();
        p.kept = kept;
    }
    if (!MoveFileExW(p.temporary.c_str(), p.target.c_str(), kMove)) {
        const DWORD status = GetLastError();
        return status == ERROR_ALREADY_EXISTS ? ERROR_FILE_EXISTS : status;
    }
    p.placed = true;
    return ERROR_SUCCESS;
}

DWORD Writing::Place(const std::vector<FileToWrite>& files, bool replace, std::string* failed) {
    for (size_t i = 0; i < placements_.size(); ++i)
        if (const DWORD status = PlaceOne(placements_[i], replace); status != ERROR_SUCCESS) {
            *failed = files[i].path;
            return status;
        }
    return ERROR_SUCCESS;
}

void Writing::Finish() {
    for (const Placement& p : placements_)
        if (!p.kept.empty())
            DeleteFileW(p.kept.c_str());
    done_ = true;
}

// Back to how it was: new files gone, replaced ones back, made folders gone.
void Writing::Undo() {
    constexpr DWORD kBack = MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH;
    for (auto it = placements_.rbegin(); it != placements_.rend(); ++it) {
        if (it->placed && it->kept.empty())
            DeleteFileW(it->target.c_str());
        if (!it->kept.empty())
            MoveFileExW(it->kept.c_str(), it->target.c_str(), kBack);
        if (!it->placed && !it->temporary.empty())
            DeleteFileW(it->temporary.c_str());
    }
    for (auto it = madeFolders_.rbegin(); it != madeFolders_.rend(); ++it)
        RemoveDirectoryW(it->c_str());
}

} // namespace

DWORD WriteFiles(const std::vector<FileToWrite>& files, bool replace, std::string* failed) {
    Writing writing;
    DWORD status = writing.Prepare(files, replace, failed);
    if (status == ERROR_SUCCESS)
        status = writing.Place(files, replace, failed);
    if (status == ERROR_SUCCESS)
        writing.Finish();
    return status;
}

std::string WriteFailure(DWORD status, const std::string& path) {
    switch (status) {
    case ERROR_BAD_DEVICE:
        return path + " names a device, not a file";
    case ERROR_DIRECTORY:
        return path + " is a folder";
    case ERROR_FILE_READ_ONLY:
        return path + " is read-only";
    case ERROR_FILE_EXISTS:
        return path + " exists already";
    }
    return "cannot write " + path + ": " + ErrorText(status);
}

bool WriteOut(Console& c, const std::string& path, const std::string& bytes, bool replace,
              const char* refusal) {
    std::string failed;
    const DWORD status = WriteFiles({{path, bytes}}, replace, &failed);
    if (status == ERROR_FILE_EXISTS)
        c.Error() << WriteFailure(status, failed) << "; " << refusal << "\n";
    else if (status != ERROR_SUCCESS)
        c.Error() << WriteFailure(status, failed) << "\n";
    return status == ERROR_SUCCESS;
}
