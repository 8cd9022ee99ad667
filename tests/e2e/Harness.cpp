#include "e2e/Harness.h"

#include "support/RunSelected.h"
#include "support/WinePath.h"

#include <gtest/gtest.h>

#include <cstdio>

#include <sddl.h>

namespace e2e {
namespace {

std::string g_program;

struct Root {
    HKEY root;
    const char* key;
    const char* prefix;
};

// Wine's own bookkeeping (the test's DLL overrides among it) is left out;
// every key on the way to a walked one counts as a key.
Snapshot Walked(std::initializer_list<Root> roots) {
    Snapshot all;
    for (const Root& r : roots)
        SnapshotKey(r.root, r.key, r.prefix, all);
    std::erase_if(all, [](const auto& entry) { return IsWinesOwn(entry.first); });
    Snapshot keys;
    for (const auto& entry : all)
        for (size_t at = entry.first.find('\\');
             at != std::string::npos && at < KeyEnd(entry.first);
             at = entry.first.find('\\', at + 1))
            keys.emplace(entry.first.substr(0, at + 1), RegValue{REG_NONE, {}});
    all.merge(keys);
    return all;
}

bool RecorderRunning() {
    return ProcessCount("net.exe") != 0 || ProcessCount("regsvr32.exe") != 0;
}

} // namespace

const std::string& ProgramPath() {
    return g_program;
}

Snapshot Watched() {
    const HKEY CU = HKEY_CURRENT_USER, LM = HKEY_LOCAL_MACHINE;
    Snapshot all = Walked({
        {CU, "Software", "HKCU\\Software\\"},
        {CU, "Control Panel\\Desktop", "HKCU\\Control Panel\\Desktop\\"},
        {CU, "SYSTEM", "HKCU\\SYSTEM\\"},
        {LM, "Software\\morvane", "HKLM\\Software\\morvane\\"},
        {LM, "Software\\Policies", "HKLM\\Software\\Policies\\"},
        {LM, "Software\\Microsoft\\Windows Script Host",
         "HKLM\\Software\\Microsoft\\Windows Script Host\\"},
        {LM, "Software\\Microsoft\\Windows\\CurrentVersion\\Policies",
         "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\"},
        {LM, "Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon",
         "HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon\\"},
        {LM, "System\\CurrentControlSet\\Control\\Lsa",
         "HKLM\\System\\CurrentControlSet\\Control\\Lsa\\"},
        {LM, "System\\CurrentControlSet\\Control\\Session Manager\\Memory Management",
         "HKLM\\System\\CurrentControlSet\\Control\\Session Manager\\Memory Management\\"},
        {LM, "System\\CurrentControlSet\\Services\\Tcpip\\Parameters",
         "HKLM\\System\\CurrentControlSet\\Services\\Tcpip\\Parameters\\"},
        {HKEY_CLASSES_ROOT, "*", "HKCR\\*\\"},
    });
    // The keys of the services the boxes start and stop.
    for (const Box& box : expect::BoxesOf(expect::Services))
        for (const auto& [path, value] : box.onCheck) {
            const std::string key = path.substr(5, KeyEnd(path) - 6);
            all.merge(Walked({{LM, key.c_str(), ("HKLM\\" + key + "\\").c_str()}}));
        }
    return all;
}

Snapshot Broad() {
    const HKEY CU = HKEY_CURRENT_USER, LM = HKEY_LOCAL_MACHINE;
    Snapshot all = Walked({
        {CU, "Software", "HKCU\\Software\\"},
        {CU, "Control Panel", "HKCU\\Control Panel\\"},
        {CU, "SYSTEM", "HKCU\\SYSTEM\\"},
        {LM, "System\\CurrentControlSet\\Control", "HKLM\\System\\CurrentControlSet\\Control\\"},
        {LM, "System\\CurrentControlSet\\Services", "HKLM\\System\\CurrentControlSet\\Services\\"},
        {HKEY_CLASSES_ROOT, "*", "HKCR\\*\\"},
    });
    // Machine-wide software but the classes, whose only part the program
    // touches is the one above.
    for (const std::string& key : MachineSoftwareKeys())
        all.merge(Walked({{LM, key.c_str(), ("HKLM\\" + key + "\\").c_str()}}));
    return all;
}

std::set<std::string> DifferingPaths(const Snapshot& a, const Snapshot& b) {
    std::set<std::string> paths;
    for (const auto& [path, value] : a)
        if (const auto it = b.find(path); it == b.end() || !(it->second == value))
            paths.insert(path);
    for (const auto& [path, value] : b)
        if (!a.contains(path))
            paths.insert(path);
    return paths;
}

CommandLog::CommandLog() : m_seen(All().size()) {}

std::vector<std::string> CommandLog::All() const {
    std::vector<std::string> lines;
    HANDLE hLog = CreateFileA(kRecorderLog, GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (hLog == INVALID_HANDLE_VALUE)
        return lines;
    std::string text;
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(hLog, buffer, sizeof(buffer), &read, nullptr) && read)
        text.append(buffer, read);
    CloseHandle(hLog);
    // Only whole lines: one may be on its way.
    for (size_t start = 0, end; (end = text.find("\r\n", start)) != std::string::npos;
         start = end + 2)
        lines.push_back(text.substr(start, end - start));
    return lines;
}

std::vector<std::string> CommandLog::Next(size_t count, DWORD timeoutMs) {
    std::vector<std::string> lines;
    WaitUntil(
        [&] {
            // Looked at in this order: a recorder that is gone has logged.
            const bool quiet = !RecorderRunning();
            lines = All();
            return quiet && lines.size() >= m_seen + count;
        },
        timeoutMs);
    std::vector<std::string> fresh(lines.begin() + std::min(m_seen, lines.size()), lines.end());
    m_seen = std::max(m_seen, lines.size());
    return fresh;
}

void ExpectToggle(HWND hPage, const Box& box, bool checked, CommandLog& log, Snapshot& watched,
                  const std::function<void(HWND hBox)>& toggle) {
    SCOPED_TRACE(testing::Message() << "page " << box.page << ", box " << box.id << " \""
                                    << box.label << "\" " << (checked ? "checked" : "unchecked"));
    HWND hBox = GetDlgItem(hPage, box.id);
    ASSERT_TRUE(hBox);
    const Snapshot before = watched;
    toggle(hBox);
    if (testing::Test::HasFatalFailure())
        return;
    EXPECT_EQ(Send(hBox, BM_GETCHECK, 0, 0), checked ? BST_CHECKED : BST_UNCHECKED);
    std::vector<std::string> commands;
    for (const expect::Command& command : box.Starts(checked))
        commands.push_back(expect::CommandLine(command));
    EXPECT_EQ(log.Next(commands.size()), commands);
    watched = Watched();
    ExpectOnly(before, watched, box.Cell(checked), box.id);
}

void ExpectClick(HWND hPage, const Box& box, bool checked, CommandLog& log, Snapshot& watched) {
    ExpectToggle(hPage, box, checked, log, watched, [](HWND hBox) {
        ASSERT_TRUE(Send(hBox, BM_CLICK, 0, 0)) << "the click did not return";
    });
}

void DenyWritingTheProbeKey() {
    PSECURITY_DESCRIPTOR sd = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA(
        "D:P(D;OICI;0x6;;;WD)(A;OICI;KR;;;WD)", SDDL_REVISION_1, &sd, nullptr));
    HKEY hKey;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\morvane", 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, &hKey, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(RegSetKeySecurity(hKey, DACL_SECURITY_INFORMATION, sd), ERROR_SUCCESS);
    RegCloseKey(hKey);
    LocalFree(sd);
    // The program's write is a create for writing, then a set.
    HKEY hDenied = nullptr;
    EXPECT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\morvane", 0, nullptr, 0, KEY_SET_VALUE,
                              nullptr, &hDenied, nullptr),
              ERROR_ACCESS_DENIED);
    if (hDenied)
        RegCloseKey(hDenied);
}

void ExpectSaveAndExit(HWND hMain, const Process& program) {
    ASSERT_TRUE(PostMessageA(GetDlgItem(hMain, IDOK), BM_CLICK, 0, 0));
    ASSERT_TRUE(program.Ended(20000)) << "still running after \"Save && Exit\"";
    EXPECT_EQ(program.ExitCode(), 0u);
}

std::set<BoxKey> CheckedBoxes(const std::array<HWND, kPageCount>& pages) {
    std::set<BoxKey> checked;
    for (int page = 0; page < kPageCount; ++page)
        for (int id : PageBoxes(page))
            if (Send(GetDlgItem(pages[page], id), BM_GETCHECK, 0, 0) == BST_CHECKED)
                checked.insert({page, id});
    return checked;
}

} // namespace e2e

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    if (argc < 3) {
        fprintf(stderr, "usage: program_tests PATH-TO-morvane.exe PATH-TO-command_recorder.exe\n");
        return 2;
    }
    e2e::g_program = WindowsPath(argv[1]);
    if (!e2e::InstallRecorder(WindowsPath(argv[2])))
        return 2;
    return RunSelectedTests();
}
