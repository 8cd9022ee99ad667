#include "ctl/Files.h"

DWORD ReadWholeFile(const std::string& path, std::string* text) {
    HANDLE hFile = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
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

DWORD WriteNewFile(const std::string& path, const std::string& text) {
    HANDLE hFile = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
    if (hFile == INVALID_HANDLE_VALUE)
        return GetLastError();
    DWORD written = 0, status = ERROR_SUCCESS;
    if (!WriteFile(hFile, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) ||
        written != text.size() || !FlushFileBuffers(hFile))
        status = GetLastError() ? GetLastError() : ERROR_WRITE_FAULT;
    CloseHandle(hFile);
    if (status != ERROR_SUCCESS)
        DeleteFileA(path.c_str());
    return status;
}

DWORD SaveFile(const std::string& path, const std::string& text) {
    // A temporary name that nothing else holds: a file there may be someone's.
    std::string temporary = path + ".new";
    DWORD status = WriteNewFile(temporary, text);
    for (int n = 2; (status == ERROR_FILE_EXISTS || status == ERROR_ALREADY_EXISTS) && n < 100;
         ++n) {
        temporary = path + ".new" + std::to_string(n);
        status = WriteNewFile(temporary, text);
    }
    if (status != ERROR_SUCCESS)
        return status;
    if (!MoveFileExA(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        status = GetLastError();
        DeleteFileA(temporary.c_str());
    }
    return status;
}
