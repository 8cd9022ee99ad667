#include "ctl/formats/Files.h"

#include "ctl/formats/FileWriting.h"
#include "ctl/output/Text.h"

namespace {

DWORD WideName(const std::string& path, std::wstring* wide) {
    return WideFromUtf8(path, wide) && !wide->empty() ? ERROR_SUCCESS : ERROR_INVALID_NAME;
}

bool Exists(DWORD status) {
    return status == ERROR_FILE_EXISTS || status == ERROR_ALREADY_EXISTS;
}

} // namespace

DWORD ReadWholeFile(const std::string& path, std::string* text) {
    std::wstring wide;
    if (const DWORD status = WideName(path, &wide); status != ERROR_SUCCESS)
        return status;
    HANDLE hFile = CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
    if (hFile == INVALID_HANDLE_VALUE)
        return GetLastError();
    DWORD status = ERROR_SUCCESS;
    text->clear();
    char buffer[65536];
    for (;;) {
        DWORD read = 0;
        if (!ReadFile(hFile, buffer, sizeof(buffer), &read, nullptr)) {
            status = GetLastError();
            break;
        }
        if (read == 0)
            break;
        text->append(buffer, read);
    }
    CloseHandle(hFile);
    return status;
}

DWORD WriteNewFile(const std::string& path, const std::string& text,
                   SECURITY_ATTRIBUTES* security) {
    std::string failed;
    return WriteFiles({{path, text, security}}, false, &failed);
}

DWORD WriteNewNumberedFile(const std::string& stem, const std::string& extension,
                           const std::string& text, std::string* path,
                           SECURITY_ATTRIBUTES* security) {
    DWORD status = ERROR_FILE_EXISTS;
    for (int n = 1; n <= 1000 && Exists(status); ++n) {
        *path = stem + (n == 1 ? std::string() : "-" + std::to_string(n)) + extension;
        status = WriteNewFile(*path, text, security);
    }
    return status;
}

DWORD SaveFile(const std::string& path, const std::string& text) {
    // Into a folder that exists only: OUT names a place the user chose.
    if (const size_t slash = path.find_last_of("\\/"); slash != std::string::npos && slash > 0) {
        const std::string folder = path.substr(0, slash);
        if (folder.back() != ':' && !FileExists(folder))
            return ERROR_PATH_NOT_FOUND;
    }
    std::string failed;
    return WriteFiles({{path, text}}, true, &failed);
}

DWORD WriteTemporaryFile(const std::string& text, std::wstring* path) {
    wchar_t folder[MAX_PATH + 1];
    const DWORD length = GetTempPathW(MAX_PATH + 1, folder);
    if (length == 0 || length > MAX_PATH)
        return length ? ERROR_BUFFER_OVERFLOW : GetLastError();
    DWORD status = ERROR_FILE_EXISTS;
    for (int n = 0; n < 1000 && Exists(status); ++n) {
        *path = std::wstring(folder) + L"morvane-restore-" +
                std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(n) + L".reg";
        status = WriteNewFile(Utf8(*path), text);
    }
    return status;
}

bool FileExists(const std::string& path) {
    std::wstring wide;
    return WideName(path, &wide) == ERROR_SUCCESS &&
           GetFileAttributesW(wide.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool RegularFileExists(const std::string& path) {
    std::wstring wide;
    if (WideName(path, &wide) != ERROR_SUCCESS || NamesDevice(path))
        return false;
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}
