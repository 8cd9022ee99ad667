// The one rule for the files morvanectl writes, in a folder of its own per
// case: what is in the folder afterwards, every name and every byte, so a
// temporary or a folder left behind shows as much as a lost file.
#include "ctl/BackupFiles.h"
#include "ctl/formats/FileWriting.h"

#include <gtest/gtest.h>

#include <map>

namespace {

using Listing = std::map<std::string, std::string>; // folders end in "\"

struct WriteCase {
    const char* name;
    Listing before;
    const char* heldOpen; // held without sharing while the files are written
    std::vector<FileToWrite> files;
    bool replace;
    DWORD status;
    const char* failed;
    Listing after;
    const char* readOnly = ""; // made read-only before the files are written
};

// As long as a name may be: its temporary beside it must be shorter.
const std::string kLongName = std::string(236, 'n') + ".txt";

// clang-format off
const WriteCase kCases[] = {
    {"new files, missing folders made", {}, "",
     {{"a.txt", "A"}, {"sub\\deeper\\b.txt", "B"}}, false, ERROR_SUCCESS, "",
     {{"a.txt", "A"}, {"sub\\", ""}, {"sub\\deeper\\", ""}, {"sub\\deeper\\b.txt", "B"}}},
    {"names outside the code page", {}, "",
     {{"café-é\\名前.reg", "\xFF\xFE"}}, false, ERROR_SUCCESS, "",
     {{"café-é\\", ""}, {"café-é\\名前.reg", "\xFF\xFE"}}},
    {"an existing file is refused, and nothing is written", {{"b.txt", "old"}}, "",
     {{"a.txt", "A"}, {"b.txt", "B"}, {"new\\c.txt", "C"}}, false, ERROR_FILE_EXISTS, "b.txt",
     {{"b.txt", "old"}}},
    {"replace puts every file in place", {{"a.txt", "old a"}, {"b.txt", "old b"}}, "",
     {{"a.txt", "A"}, {"b.txt", ""}, {"c.txt", "C"}}, true, ERROR_SUCCESS, "",
     {{"a.txt", "A"}, {"b.txt", ""}, {"c.txt", "C"}}},
    {"a failed rename puts back what was replaced, and the folders made go",
     {{"a.txt", "old a"}, {"held.txt", "old held"}}, "held.txt",
     {{"a.txt", "A"}, {"made\\x.txt", "X"}, {"held.txt", "H"}}, true, ERROR_SHARING_VIOLATION,
     "held.txt", {{"a.txt", "old a"}, {"held.txt", "old held"}}},
    {"a folder in the way is never replaced", {{"a.txt", "old a"}, {"d\\", ""}, {"d\\x.txt", "X"}}, "",
     {{"a.txt", "A"}, {"d", "D"}}, true, ERROR_DIRECTORY, "d",
     {{"a.txt", "old a"}, {"d\\", ""}, {"d\\x.txt", "X"}}},
    {"a read-only file is never replaced, and nothing is left behind", {{"a.txt", "old a"}, {"r.txt", "old r"}}, "",
     {{"a.txt", "A"}, {"r.txt", "R"}}, true, ERROR_FILE_READ_ONLY, "r.txt",
     {{"a.txt", "old a"}, {"r.txt", "old r"}}, "r.txt"},
    {"a device's name is never a file", {}, "",
     {{"a.txt", "A"}, {"nul.txt", "N"}}, true, ERROR_BAD_DEVICE, "nul.txt", {}},
    {"a name as long as a name may be", {{kLongName, "old"}}, "",
     {{kLongName, "L"}}, true, ERROR_SUCCESS, "", {{kLongName, "L"}}},
    {"a name that is not UTF-8", {}, "",
     {{"a.txt", "A"}, {"bad-\xC3(.txt", "B"}}, false, ERROR_INVALID_NAME, "bad-\xC3(.txt", {}},
};
// clang-format on

std::string ReadBytes(const std::wstring& path) {
    std::string bytes;
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    char buffer[4096];
    DWORD read = 0;
    while (h != INVALID_HANDLE_VALUE && ReadFile(h, buffer, sizeof(buffer), &read, nullptr) && read)
        bytes.append(buffer, read);
    if (h != INVALID_HANDLE_VALUE)
        CloseHandle(h);
    return bytes;
}

// Every file and folder under `folder`, named relative to it.
void List(const std::wstring& folder, const std::string& prefix, Listing* listing) {
    WIN32_FIND_DATAW found;
    const HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..")
            continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            (*listing)[prefix + U(name) + "\\"] = "";
            List(folder + L"\\" + name, prefix + U(name) + "\\", listing);
        } else {
            (*listing)[prefix + U(name)] = ReadBytes(folder + L"\\" + name);
        }
    } while (FindNextFileW(find, &found));
    FindClose(find);
}

void RemoveAll(const std::wstring& folder) {
    Listing listing;
    List(folder, "", &listing);
    for (auto it = listing.rbegin(); it != listing.rend(); ++it) {
        const std::wstring path = folder + L"\\" + W(it->first);
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        it->first.ends_with("\\") ? RemoveDirectoryW(path.c_str()) : DeleteFileW(path.c_str());
    }
    RemoveDirectoryW(folder.c_str());
}

TEST(FileWritingTest, AllOrNoneNeverAnExistingFileUnlessReplacedNothingLeftBehind) {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    int n = 0;
    for (const WriteCase& c : kCases) {
        SCOPED_TRACE(c.name);
        const std::wstring folder = std::wstring(temp) + L"morvanectl-writing-" +
                                    std::to_wstring(GetCurrentProcessId()) + L"-" +
                                    std::to_wstring(++n);
        RemoveAll(folder);
        ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
        for (const auto& [name, bytes] : c.before) {
            std::string failed;
            if (name.ends_with("\\"))
                ASSERT_TRUE(CreateDirectoryW((folder + L"\\" + W(name)).c_str(), nullptr));
            else
                ASSERT_EQ(WriteFiles({{U(folder) + "\\" + name, bytes}}, false, &failed), 0u);
        }
        if (*c.readOnly) {
            ASSERT_TRUE(SetFileAttributesW((folder + L"\\" + W(c.readOnly)).c_str(),
                                           FILE_ATTRIBUTE_READONLY));
        }
        HANDLE held = INVALID_HANDLE_VALUE;
        if (*c.heldOpen)
            held = CreateFileW((folder + L"\\" + W(c.heldOpen)).c_str(), GENERIC_READ, 0, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_EQ(held != INVALID_HANDLE_VALUE, *c.heldOpen != 0);
        std::vector<FileToWrite> files = c.files;
        for (FileToWrite& file : files)
            file.path = U(folder) + "\\" + file.path;
        std::string failed;
        EXPECT_EQ(WriteFiles(files, c.replace, &failed), c.status);
        if (held != INVALID_HANDLE_VALUE)
            CloseHandle(held);
        EXPECT_EQ(failed, *c.failed ? U(folder) + "\\" + c.failed : "");
        Listing after;
        List(folder, "", &after);
        EXPECT_EQ(after, c.after);
        RemoveAll(folder);
    }
}

} // namespace
