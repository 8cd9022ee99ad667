// For the backup and restore tests: UTF-8 and UTF-16 through the system's
// own converter (not the program's), files with names outside the code
// page, wide registry values, and the copies of every backup a test writes
// that hivexregedit checks after the run (tests/ctl/hivex_check.py).
#pragma once

#include <windows.h>

#include <optional>
#include <string>

inline std::wstring W(const std::string& utf8) {
    std::wstring wide(utf8.size(), L'\0');
    wide.resize(MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()),
                                    wide.data(), static_cast<int>(wide.size())));
    return wide;
}

inline std::string U(const std::wstring& wide) {
    std::string utf8(wide.size() * 3, '\0');
    utf8.resize(WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                    utf8.data(), static_cast<int>(utf8.size()), nullptr, nullptr));
    return utf8;
}

// UTF-16LE with a byte-order mark, from UTF-8.
inline std::string Utf16File(const std::string& utf8) {
    const std::wstring wide = W(utf8);
    return "\xFF\xFE" + std::string(reinterpret_cast<const char*>(wide.data()), wide.size() * 2);
}

// The text of a UTF-16LE file as UTF-8; nullopt without the byte-order mark.
inline std::optional<std::string> Utf8Text(const std::string& bytes) {
    if (bytes.size() % 2 || !bytes.starts_with("\xFF\xFE"))
        return std::nullopt;
    std::wstring wide((bytes.size() - 2) / 2, L'\0');
    memcpy(wide.data(), bytes.data() + 2, wide.size() * 2);
    return U(wide);
}

// A file named in UTF-8 (as morvanectl's arguments are), opened through its
// UTF-16 name; gone when the test ends.
struct WideFile {
    std::string path; // UTF-8
    explicit WideFile(const std::string& name) {
        wchar_t folder[MAX_PATH];
        GetTempPathW(MAX_PATH, folder);
        path = U(folder) + "morvanectl-test-" + std::to_string(GetCurrentProcessId()) + "-" + name;
        DeleteFileW(W(path).c_str());
    }
    ~WideFile() { DeleteFileW(W(path).c_str()); }
    bool Exists() const { return GetFileAttributesW(W(path).c_str()) != INVALID_FILE_ATTRIBUTES; }
    void Write(const std::string& bytes) const {
        HANDLE h = CreateFileW(W(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        DWORD written = 0;
        WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
        CloseHandle(h);
    }
    std::string Read() const {
        std::string bytes;
        HANDLE h = CreateFileW(W(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE)
            return bytes;
        char buffer[65536];
        DWORD read = 0;
        while (ReadFile(h, buffer, sizeof(buffer), &read, nullptr) && read)
            bytes.append(buffer, read);
        CloseHandle(h);
        return bytes;
    }
};

// A REG_SZ value with a UTF-16 name and text, its key created as needed.
inline bool PutWide(HKEY root, const std::wstring& key, const std::wstring& name,
                    const std::wstring& text) {
    HKEY hKey;
    if (RegCreateKeyExW(root, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &hKey, nullptr))
        return false;
    const LSTATUS status =
        RegSetValueExW(hKey, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                       static_cast<DWORD>((text.size() + 1) * 2));
    RegCloseKey(hKey);
    return status == ERROR_SUCCESS;
}

// The text of a REG_SZ value, or nullopt when it is missing or not one.
inline std::optional<std::wstring> GetWide(HKEY root, const std::wstring& key,
                                           const std::wstring& name) {
    wchar_t text[1024];
    DWORD type = 0, size = sizeof(text);
    if (RegGetValueW(root, key.c_str(), name.c_str(), RRF_RT_ANY, &type, text, &size) ||
        type != REG_SZ || size < 2)
        return std::nullopt;
    return std::wstring(text, size / 2 - 1);
}

// Keeps a copy of a backup for hivexregedit: NAME.reg must merge cleanly,
// NAME.damaged.reg must be refused.
inline bool KeepForHivex(const std::string& file, const std::string& name, bool damaged = false) {
    CreateDirectoryA(MORVANE_BACKUP_COPIES, nullptr);
    const std::string copy =
        std::string(MORVANE_BACKUP_COPIES) + "\\" + name + (damaged ? ".damaged.reg" : ".reg");
    return CopyFileW(W(file).c_str(), W(copy).c_str(), FALSE);
}
